// Reports every function in a source folder longer than a limit, from the
// line of its name to its closing brace; a lambda or a local class counts
// with the function it is written in. Comments, string and character
// literals (raw strings too) and preprocessor lines are blanked first, so
// that a brace in them is not taken for code. Exits 1 when any is found.
// Run as: function_length <folder> [limit]
#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr size_t npos = std::string::npos;

bool wordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool space(char c) { return std::isspace(static_cast<unsigned char>(c)); }

// Turns comments, literals and preprocessor lines into spaces; line breaks
// are kept, so that a position still has its line.
class Blanker {
public:
    explicit Blanker(const std::string &text) : in(text), out(text), n(text.size()) {}

    std::string run()
    {
        bool lineStart = true;
        while (i < n) {
            const char c = in[i];
            if (c == '\n') {
                lineStart = true;
                ++i;
            } else if (lineStart && c == '#') {
                directive();
            } else {
                lineStart = lineStart && space(c);
                step(c);
            }
        }
        return out;
    }

private:
    void step(char c)
    {
        if (c == '/' && i + 1 < n && in[i + 1] == '/')
            blankTo(in.find('\n', i));
        else if (c == '/' && i + 1 < n && in[i + 1] == '*')
            blankTo(in.find("*/", i + 2) == npos ? npos : in.find("*/", i + 2) + 2);
        else if (std::isdigit(static_cast<unsigned char>(c)))
            number();
        else if (wordChar(c))
            word();
        else if (c == '"' || c == '\'')
            quoted(c);
        else
            ++i;
    }
    void blank(size_t from, size_t to)
    {
        for (size_t k = from; k < to && k < n; ++k)
            if (out[k] != '\n')
                out[k] = ' ';
    }
    void blankTo(size_t end)
    {
        end = std::min(end, n);
        blank(i, end);
        i = end;
    }
    // A directive runs to the end of the line, or further after a backslash.
    void directive()
    {
        size_t j = i;
        while (j < n && in[j] != '\n')
            j += (in[j] == '\\' && j + 1 < n) ? 2 : 1;
        blankTo(j);
    }
    // A number, with its digit separators (1'000) and exponents.
    void number()
    {
        size_t j = i + 1;
        while (j < n && (wordChar(in[j]) || in[j] == '.' || (in[j] == '\'' && j + 1 < n && wordChar(in[j + 1])) ||
                         ((in[j] == '+' || in[j] == '-') && std::strchr("eEpP", in[j - 1]))))
            ++j;
        i = j;
    }
    // A name, or the prefix of a raw string: R"delimiter( ... )delimiter".
    void word()
    {
        size_t j = i;
        while (j < n && wordChar(in[j]))
            ++j;
        const std::string w = in.substr(i, j - i);
        i = j;
        if (!(w == "R" || w == "LR" || w == "uR" || w == "UR" || w == "u8R") || j >= n || in[j] != '"')
            return;
        const size_t open = in.find('(', j);
        const std::string close = open == npos ? "\"" : ")" + in.substr(j + 1, open - j - 1) + "\"";
        const size_t k = open == npos ? npos : in.find(close, open);
        const size_t end = k == npos ? n : k + close.size();
        blank(j + 1, end - 1);
        i = end;
    }
    void quoted(char quote)
    {
        size_t j = i + 1;
        while (j < n && in[j] != quote && in[j] != '\n')
            j += in[j] == '\\' ? 2 : 1;
        blank(i + 1, j);
        i = j + 1;
    }

    const std::string &in;
    std::string out;
    const size_t n;
    size_t i = 0;
};

std::string trimmed(const std::string &s)
{
    const size_t b = s.find_first_not_of(" \t\r\n");
    if (b == npos)
        return std::string();
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

// Only what may follow a parameter list before a body: qualifiers, or a
// trailing return type after "->".
bool onlyQualifiers(const std::string &s)
{
    if (s.size() > 120 && s.find("->") == npos)
        return false;
    static const std::regex words(R"(^(\s*(const|volatile|noexcept|override|final|mutable|constexpr|&&|&))*\s*(->.*)?$)");
    return std::regex_match(s, words);
}

// The position of the '(' that opens the group closed at close, or npos.
size_t openingParen(const std::string &s, size_t close)
{
    int depth = 0;
    for (size_t k = close + 1; k-- > 0;) {
        if (s[k] == ')')
            ++depth;
        else if (s[k] == '(' && --depth == 0)
            return k;
    }
    return npos;
}

struct Declarator {
    bool isFunction = false;
    bool inInitializers = false; // after a constructor's ':'
    size_t nameAt = 0;           // where in the head the name begins
    std::string name;
};

// The ')' that closes a constructor's parameter list before its initializers
// (a lone ':' after it and its qualifiers), or npos.
size_t beforeInitializers(const std::string &h)
{
    int depth = 0;
    for (size_t k = 0; k < h.size(); ++k) {
        if (h[k] == '(' || h[k] == ')') {
            depth += h[k] == '(' ? 1 : -1;
        } else if (h[k] == ':' && depth == 0 && !(k + 1 < h.size() && h[k + 1] == ':') && !(k > 0 && h[k - 1] == ':')) {
            const size_t p = h.rfind(')', k);
            if (p != npos && onlyQualifiers(h.substr(p + 1, k - p - 1)))
                return p;
        }
    }
    return npos;
}

// The name before the parameter list opened at open: a function's (with
// its classes), or "lambda" after a capture list. Back over noexcept(...)
// and throw(...) to the parameter list itself first.
Declarator named(const std::string &h, size_t open)
{
    Declarator d;
    static const std::regex spec(R"((noexcept|throw)$)");
    while (open != npos && std::regex_search(trimmed(h.substr(0, open)), spec))
        open = h.rfind(')', open) == npos ? npos : openingParen(h, h.rfind(')', open));
    if (open == npos)
        return d;
    // A name is near its parameter list: the regular expressions see only that much.
    const size_t from = open > 300 ? open - 300 : 0;
    const std::string before = h.substr(from, open - from);
    static const std::regex name(R"((?:[A-Za-z_]\w*\s*(?:<[^;{}()]*>)?\s*::\s*)*(?:~\s*)?)"
                                 R"((operator\s*(?:\(\)|\[\]|[^\w\s(]+|[A-Za-z_][\w\s:<>*&]*)|[A-Za-z_]\w*)\s*$)");
    static const std::regex lambda(R"(\]\s*(<[^<>]*>)?\s*$)");
    static const std::regex statement(R"(^(if|for|while|switch|catch|return|sizeof|decltype|alignof)$)");
    std::smatch m;
    if (std::regex_search(before, m, name)) {
        std::string found = m.str(0);
        found.erase(std::remove_if(found.begin(), found.end(), space), found.end());
        d.isFunction = !std::regex_match(found, statement);
        d.nameAt = from + size_t(m.position(0));
        d.name = found;
    } else if (std::regex_search(before, m, lambda)) {
        d.isFunction = true;
        d.nameAt = before.rfind('[') == npos ? open : from + before.rfind('[');
        d.name = "lambda";
    }
    return d;
}

// Whether the text before a '{' (since the last ';', '{' or '}' of its scope)
// declares a function, and its name: a parameter list closes it, perhaps
// followed by qualifiers, a trailing return type or a constructor's
// initializers. A lambda ("[...](...)" or "[...]") is named "lambda".
Declarator declarator(const std::string &h)
{
    size_t close = beforeInitializers(h);
    const std::string t = trimmed(h);
    if (close != npos) {
        // Only the last initializer's ')' or '}' comes before the body.
        if (t.empty() || (t.back() != ')' && t.back() != '}')) {
            Declarator d;
            d.inInitializers = true;
            return d;
        }
        Declarator d = named(h, openingParen(h, close));
        d.inInitializers = true;
        return d;
    }
    // No initializers: the head ends with the parameter list and its qualifiers.
    close = h.rfind(')');
    if (close != npos && onlyQualifiers(h.substr(close + 1)))
        return named(h, openingParen(h, close));
    // A lambda without parameters: "[&] {" or "[] mutable {".
    Declarator d;
    static const std::regex bare(R"(\[[^\[\]]*\]\s*(mutable)?\s*$)");
    std::smatch m;
    if (std::regex_search(h, m, bare)) {
        d.isFunction = true;
        d.nameAt = size_t(m.position(0));
        d.name = "lambda";
    }
    return d;
}

struct Finding {
    int line;
    std::string name;
    int lines;
};

// Reads one file's code, blanked. A '{' outside every function opens a
// function body when its head declares one; inside a body every brace
// belongs to that function.
class Scanner {
public:
    Scanner(const std::string &text, int limit) : code(Blanker(text).run()), limit(limit), lineOf(code.size() + 1, 1)
    {
        for (size_t k = 0, line = 1; k < code.size(); ++k) {
            lineOf[k] = int(line);
            line += code[k] == '\n';
        }
    }

    std::vector<Finding> found;
    std::string error;

    void run()
    {
        for (k = 0; k < code.size() && error.empty(); ++k) {
            if (depth > 0)
                inFunction(code[k]);
            else
                outside(code[k]);
        }
        if (error.empty() && (depth > 0 || scopes > 0))
            error = "unbalanced '{' at the end";
    }

private:
    void inFunction(char c)
    {
        if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            const int length = lineOf[k] - startLine + 1;
            if (length > limit)
                found.push_back({startLine, name, length});
            headFrom = k + 1;
        }
    }
    void outside(char c)
    {
        static const std::regex access(R"((public|protected|private|signals|slots|Q_SLOTS|Q_SIGNALS)\s*$)");
        const bool lone = !(k + 1 < code.size() && code[k + 1] == ':') && !(k > 0 && code[k - 1] == ':');
        const size_t near = std::max(headFrom, k > 40 ? k - 40 : 0);
        if (c == ';' || (c == ':' && lone && std::regex_search(code.substr(near, k - near), access))) {
            headFrom = k + 1; // "public:" and the like end the head too
        } else if (c == '{') {
            opening();
        } else if (c == '}') {
            if (scopes == 0)
                error = "unbalanced '}' at line " + std::to_string(lineOf[k]);
            --scopes;
            headFrom = k + 1;
        }
    }
    void opening()
    {
        const std::string head = code.substr(headFrom, k - headFrom);
        const std::string t = trimmed(head);
        const Declarator d = declarator(head);
        if (d.inInitializers && !t.empty() && (wordChar(t.back()) || t.back() == '>')) {
            // "member{value}" in a constructor's initializers: not the body yet.
            for (int open = 0; k < code.size(); ++k) {
                open += code[k] == '{' ? 1 : code[k] == '}' ? -1 : 0;
                if (open == 0)
                    break;
            }
        } else if (d.isFunction) {
            depth = 1;
            size_t at = headFrom + d.nameAt;
            while (at < k && space(code[at]))
                ++at;
            startLine = lineOf[at];
            name = d.name;
        } else {
            ++scopes;
            headFrom = k + 1;
        }
    }

    const std::string code;
    const int limit;
    std::vector<int> lineOf;
    size_t k = 0;
    size_t headFrom = 0; // where the head of the next '{' begins
    int scopes = 0;      // namespaces, classes and initializers open
    int depth = 0;       // of braces within the function being read
    int startLine = 0;
    std::string name;
};

std::vector<fs::path> sources(const fs::path &root)
{
    std::vector<fs::path> files;
    for (const auto &e : fs::recursive_directory_iterator(root)) {
        const std::string ext = e.path().extension().string();
        if (e.is_regular_file() && (ext == ".cpp" || ext == ".h"))
            files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::cerr << "usage: function_length <folder> [limit]\n";
        return 2;
    }
    const fs::path root = fs::absolute(argv[1]).lexically_normal();
    const int limit = argc > 2 ? std::stoi(argv[2]) : 60;
    const fs::path shown = root.has_filename() ? root.filename() : root.parent_path().filename();
    const std::vector<fs::path> files = sources(root);
    int count = 0;
    bool broken = false;
    for (const fs::path &f : files) {
        std::ifstream in(f, std::ios::binary);
        std::stringstream buf;
        buf << in.rdbuf();
        Scanner s(buf.str(), limit);
        s.run();
        const std::string path = (shown / fs::relative(f, root)).generic_string();
        for (const Finding &x : s.found)
            std::cout << path << ":" << x.line << ": " << x.name << " (" << x.lines << " lines)\n";
        if (!s.error.empty())
            std::cout << path << ": cannot be read as code: " << s.error << "\n";
        count += int(s.found.size());
        broken = broken || !s.error.empty();
    }
    if (count > 0 || broken) {
        std::cout << count << " function(s) longer than " << limit << " lines\n";
        return 1;
    }
    std::cout << "function_length: " << files.size() << " files, no function longer than " << limit << " lines\n";
    return 0;
}
