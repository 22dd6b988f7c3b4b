#pragma once
// A speech server of the test's own, whose voice writes each text it is given
// to a file instead of speaking it: what the program said is read back from
// there, and its end is reported at once, as a very fast voice would.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <utility>

class SpeechLog {
public:
    SpeechLog()
    {
        if (QStandardPaths::findExecutable("speech-dispatcher").isEmpty())
            return;
        QDir d(dir_.path());
        d.mkpath("run");
        d.mkpath("speechd/modules");
        QFile::setPermissions(d.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        log_ = d.filePath("parlato.txt");
        QFile conf(d.filePath("speechd/speechd.conf")), module(d.filePath("speechd/modules/textlog.conf"));
        if (!conf.open(QIODevice::WriteOnly) || !module.open(QIODevice::WriteOnly))
            return;
        conf.write("DefaultModule textlog\nAddModule \"textlog\" \"sd_generic\" \"textlog.conf\"\nDefaultLanguage \"it\"\n"
                   "AudioOutputMethod \"alsa\"\nAudioALSADevice \"null\"\n");
        module.write("GenericExecuteSynth \"printf '%s\\\\n' \\'$DATA\\' >> " + log_.toUtf8() +
                     "\"\nGenericCmdDependency \"printf\"\nGenericLanguage \"it\" \"it\" \"utf-8\"\n"
                     "GenericLanguage \"en\" \"en\" \"utf-8\"\nAddVoice \"it\" \"MALE1\" \"it\"\nAddVoice \"en\" \"MALE1\" \"en\"\n");
        conf.close();
        module.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", d.filePath("run"));
        server_.setProcessEnvironment(env);
        server_.start("speech-dispatcher", {"-C", d.filePath("speechd"), "-s", "-t", "0", "-S", socket()});
        ready_ = server_.waitForStarted() && waitFor([this] { return QFile::exists(socket()); });
    }
    ~SpeechLog()
    {
        server_.kill();
        server_.waitForFinished();
    }
    bool ready() const { return ready_; }
    QString socket() const { return dir_.filePath("run/speechd.sock"); }
    // For the program: this server, whatever the machine has.
    QList<std::pair<QString, QString>> env() const { return {{"SPEECHD_ADDRESS", "unix_socket:" + socket()}}; }
    // Waits for the words to reach the file (the server writes them a moment after the program hands them over).
    bool hears(const QString &words) const
    {
        return waitFor([&] {
            QFile f(log_);
            return f.open(QIODevice::ReadOnly) && QString::fromUtf8(f.readAll()).contains(words);
        });
    }
    // Until the condition holds, for 20 s at most, the caller's events handled meanwhile.
    static bool waitFor(const std::function<bool()> &done)
    {
        const QDeadlineTimer deadline(20000);
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(5);
        }
        return true;
    }

private:
    QTemporaryDir dir_;
    QProcess server_;
    QString log_;
    bool ready_ = false;
};
