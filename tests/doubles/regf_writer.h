#pragma once
// A small writer of registry hive files ("regf"), for tests: hivex reads
// hives but cannot make one from nothing. One base block with its checksum,
// one hbin, and nk, vk, value-list, lf and sk cells; offsets are kept so a
// test can damage the file on purpose.
#include "platform/hive.h"

#include <QByteArray>
#include <algorithm>
#include <QList>
#include <QtEndian>

namespace qyr::test {

class RegfWriter {
public:
    struct Node {
        quint32 nk = 0;          // offset of the key's cell, counted from the first hbin
        quint32 lf = 0xFFFFFFFF; // its subkey list, if it has subkeys
        QList<quint32> vk;       // its value cells
    };

    explicit RegfWriter(const HiveKey &root)
    {
        heap_ = QByteArray(0x20, '\0'); // the hbin header, written in bytes()
        sk_ = alloc(securityCell());
        patch(sk_, 4, sk_); // the only descriptor: its list of descriptors is itself
        patch(sk_, 8, sk_);
        root_ = addKey(root, 0, true);
    }

    // Keys in the order written: the root first, then depth first.
    QList<Node> nodes;

    // Overwrites 32 bits of a cell's content (`field` counted from the cell's signature).
    void patch(quint32 cell, int field, quint32 value) { put32(heap_, int(cell) + 4 + field, value); }

    QByteArray bytes() const
    {
        QByteArray hbin = heap_;
        const int size = (hbin.size() + 0xFFF) & ~0xFFF;
        const int spare = size - hbin.size();
        hbin.append(QByteArray(spare, '\0'));
        if (spare > 0)
            put32(hbin, size - spare, quint32(spare)); // one free cell fills the rest
        hbin.replace(0, 4, "hbin");
        put32(hbin, 4, 0);
        put32(hbin, 8, quint32(size));

        QByteArray base(0x1000, '\0');
        base.replace(0, 4, "regf");
        put32(base, 0x04, 1); // sequence numbers: equal, so the hive was closed cleanly
        put32(base, 0x08, 1);
        put32(base, 0x14, 1); // version 1.5
        put32(base, 0x18, 5);
        put32(base, 0x20, 1);
        put32(base, 0x24, root_);
        put32(base, 0x28, quint32(size));
        put32(base, 0x2C, 1);
        const QString name = QStringLiteral("qyr-test.hiv");
        for (int i = 0; i < name.size(); ++i)
            put16(base, 0x30 + 2 * i, name[i].unicode());
        quint32 sum = 0;
        for (int i = 0; i < 0x1FC; i += 4)
            sum ^= qFromLittleEndian<quint32>(base.constData() + i);
        put32(base, 0x1FC, sum);
        return base + hbin;
    }

private:
    static void put16(QByteArray &b, int at, quint16 v) { qToLittleEndian(v, b.data() + at); }
    static void put32(QByteArray &b, int at, quint32 v) { qToLittleEndian(v, b.data() + at); }

    // Names are stored in Latin-1 when they fit (the "compressed" flag), else in UTF-16LE.
    static QByteArray nameBytes(const QString &name, bool *compressed)
    {
        *compressed = std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() <= 0xFF; });
        QByteArray out = *compressed ? name.toLatin1() : QByteArray(2 * name.size(), '\0');
        for (int i = 0; !*compressed && i < name.size(); ++i)
            put16(out, 2 * i, name[i].unicode());
        return out;
    }

    quint32 alloc(const QByteArray &content)
    {
        const quint32 at = quint32(heap_.size());
        const int size = (4 + content.size() + 7) & ~7;
        QByteArray cell(size, '\0');
        put32(cell, 0, quint32(-size)); // negative: in use
        cell.replace(4, content.size(), content);
        heap_.append(cell);
        return at;
    }

    static QByteArray securityCell()
    {
        // A minimal self-relative descriptor: revision 1, no owner, group or lists.
        QByteArray sd(20, '\0');
        sd[0] = 1;
        put16(sd, 2, 0x8000);
        QByteArray c(20, '\0');
        c.replace(0, 2, "sk");
        put32(c, 12, 1);
        put32(c, 16, quint32(sd.size()));
        return c + sd;
    }

    quint32 addValue(const RegValue &v)
    {
        bool compressed = false;
        const QByteArray name = nameBytes(v.name, &compressed);
        QByteArray c(0x14, '\0');
        c.replace(0, 2, "vk");
        put16(c, 2, quint16(name.size()));
        if (v.data.size() <= 4) {
            put32(c, 4, quint32(v.data.size()) | 0x80000000u); // small data sits in the offset field
            c.replace(8, v.data.size(), v.data);
        } else {
            put32(c, 4, quint32(v.data.size()));
            put32(c, 8, alloc(v.data));
        }
        put32(c, 0x0C, v.type);
        put16(c, 0x10, compressed ? 1 : 0);
        return alloc(c + name);
    }

    quint32 addKey(const HiveKey &k, quint32 parent, bool isRoot)
    {
        bool compressed = false;
        const QByteArray name = nameBytes(k.name, &compressed);
        QByteArray c(0x4C, '\0');
        c.replace(0, 2, "nk");
        put16(c, 2, quint16((compressed ? 0x20 : 0) | (isRoot ? 0x0C : 0)));
        put32(c, 0x10, parent);
        put32(c, 0x1C, 0xFFFFFFFF);
        put32(c, 0x20, 0xFFFFFFFF);
        put32(c, 0x28, 0xFFFFFFFF);
        put32(c, 0x2C, sk_);
        put32(c, 0x30, 0xFFFFFFFF);
        put16(c, 0x48, quint16(name.size()));
        const quint32 nk = alloc(c + name);
        const int index = int(nodes.size());
        nodes.append(Node{nk, 0xFFFFFFFF, {}});

        if (!k.values.isEmpty()) {
            QByteArray list(4 * k.values.size(), '\0');
            quint32 maxName = 0, maxData = 0;
            for (int i = 0; i < k.values.size(); ++i) {
                const quint32 vk = addValue(k.values[i]);
                nodes[index].vk.append(vk);
                put32(list, 4 * i, vk);
                maxName = qMax(maxName, quint32(k.values[i].name.size() * 2));
                maxData = qMax(maxData, quint32(k.values[i].data.size()));
            }
            patch(nk, 0x24, quint32(k.values.size()));
            patch(nk, 0x28, alloc(list));
            patch(nk, 0x3C, maxName);
            patch(nk, 0x40, maxData);
        }
        if (!k.subKeys.isEmpty()) {
            QByteArray lf(4 + 8 * k.subKeys.size(), '\0');
            lf.replace(0, 2, "lf");
            put16(lf, 2, quint16(k.subKeys.size()));
            quint32 maxName = 0;
            for (int i = 0; i < k.subKeys.size(); ++i) {
                put32(lf, 4 + 8 * i, addKey(k.subKeys[i], nk, false));
                lf.replace(8 + 8 * i, 4, k.subKeys[i].name.left(4).toLatin1().leftJustified(4, '\0'));
                maxName = qMax(maxName, quint32(k.subKeys[i].name.size() * 2));
            }
            nodes[index].lf = alloc(lf);
            patch(nk, 0x14, quint32(k.subKeys.size()));
            patch(nk, 0x1C, nodes[index].lf);
            patch(nk, 0x34, maxName);
        }
        return nk;
    }

    QByteArray heap_;
    quint32 sk_ = 0;
    quint32 root_ = 0;
};

} // namespace qyr::test
