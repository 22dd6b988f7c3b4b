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

bool wordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The text with comments, literals and preprocessor lines turned into spaces;
// line breaks are kept, so that a position still has its line.
std::string blanked(const std::string &in)
{
    std::string out = in;
    const size_t n = in.size();
    auto blank = [&](size_t from, size_t to) {
        for (size_t k = from; k < to && k < n; ++k)
            if (out[k] != '\n')
                out[k] = ' ';
    };
    bool lineStart = true;
    size_t i = 0;
    while (i < n) {
        const char c = in[i];
        if (c == '\n') {
            lineStart = true;
            ++i;
            continue;
        }
        if (lineStart && c == '#') {
            // A directive runs to the end of the line, or further after a backslash.
            size_t j = i;
            while (j < n && in[j] != '\n')
                j += (in[j] == '\\' && j + 1 < n) ? 2 : 1;
            blank(i, j);
            i = j;
            continue;
        }
        if (!std::isspace(static_cast<unsigned char>(c)))
            lineStart = false;
        if (c == '/' && i + 1 < n && in[i + 1] == '/') {
            const size_t j = in.find('\n', i);
            blank(i, j == std::string::npos ? n : j);
            i = j == std::string::npos ? n : j;
        } else if (c == '/' && i + 1 < n && in[i + 1] == '*') {
            const size_t j = in.find("*/", i + 2);
            const size_t end = j == std::string::npos ? n : j + 2;
            blank(i, end);
            i = end;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            // A number, with its digit separators (1'000) and exponents.
            size_t j = i + 1;
            while (j < n && (wordChar(in[j]) || in[j] == '.' || (in[j] == '\'' && j + 1 < n && wordChar(in[j + 1])) ||
                             ((in[j] == '+' || in[j] == '-') && std::strchr("eEpP", in[j - 1]))))
                ++j;
            i = j;
        } else if (wordChar(c)) {
            size_t j = i;
            while (j < n && wordChar(in[j]))
                ++j;
            const std::string word = in.substr(i, j - i);
            const bool raw = !word.empty() && word.back() == 'R' &&
                             (word == "R" || word == "LR" || word == "uR" || word == "UR" || word == "u8R");
            if (raw && j < n && in[j] == '"') {
                const size_t open = in.find('(', j);
                const std::string close = ")" + in.substr(j + 1, open - j - 1) + "\"";
                const size_t k = open == std::string::npos ? n : in.find(close, open);
                const size_t end = k == std::string::npos ? n : k + close.size();
                blank(j + 1, end - 1);
                i = end;
            } else {
                i = j;
            }
        } else if (c == '"' || c == '\'') {
            size_t j = i + 1;
            while (j < n && in[j] != c && in[j] != '\n')
                j += in[j] == '\\' ? 2 : 1;
            blank(i + 1, j);
            i = j + 1;
        } else {
            ++i;
        }
    }
    return out;
}

std::string trimmed(const std::string &s)
{
    const size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return std::string();
    const size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// Only what may follow a parameter list before a body: qualifiers, or a
// trailing return type after "->".
bool onlyQualifiers(const std::string &s)
{
    if (s.size() > 120 && s.find("->") == std::string::npos)
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
    return std::string::npos;
}

struct Declarator {
    bool isFunction = false;
    bool inInitializers = false; // after a constructor's ':'
    size_t nameAt = 0; // offset in the head of the name
    std::string name;
};

// Whether the text before a '{' (since the last ';', '{' or '}' of its scope)
// declares a function, and its name: a parameter list closes it, perhaps
// followed by qualifiers, a trailing return type or a constructor's
// initializers. A lambda ("[...](...)" or "[...]") is named "lambda".
Declarator declarator(const std::string &head)
{
    Declarator d;
    const std::string h = head;
    // The end of the parameter list: before a constructor's initializer list
    // (a lone ':' after ')' and qualifiers), else at the end.
    size_t close = std::string::npos;
    int depth = 0;
    for (size_t k = 0; k < h.size(); ++k) {
        if (h[k] == '(')
            ++depth;
        else if (h[k] == ')')
            --depth;
        else if (h[k] == ':' && depth == 0 && !(k + 1 < h.size() && h[k + 1] == ':') && !(k > 0 && h[k - 1] == ':')) {
            const size_t p = h.rfind(')', k);
            if (p != std::string::npos && onlyQualifiers(h.substr(p + 1, k - p - 1))) {
                close = p;
                d.inInitializers = true;
                break;
            }
        }
    }
    const std::string t = trimmed(h);
    if (close == std::string::npos) {
        // No initializers: the head ends with the parameter list and its qualifiers.
        const size_t p = h.rfind(')');
        if (p != std::string::npos && onlyQualifiers(h.substr(p + 1)))
            close = p;
    } else if (t.empty() || (t.back() != ')' && t.back() != '}')) {
        return d;
    }
    if (close == std::string::npos) {
        // A lambda without parameters: "[&] {" or "[] mutable {".
        static const std::regex bare(R"(\[[^\[\]]*\]\s*(mutable)?\s*$)");
        std::smatch m;
        if (std::regex_search(h, m, bare)) {
            d.isFunction = true;
            d.nameAt = size_t(m.position(0));
            d.name = "lambda";
        }
        return d;
    }
    // Back over noexcept(...) and throw(...) to the parameter list itself.
    size_t open = openingParen(h, close);
    while (open != std::string::npos) {
        const std::string before = trimmed(h.substr(0, open));
        static const std::regex spec(R"((noexcept|throw)$)");
        if (!std::regex_search(before, spec))
            break;
        const size_t p = h.rfind(')', open);
        if (p == std::string::npos)
            return d;
        open = openingParen(h, p);
    }
    if (open == std::string::npos)
        return d;
    // A name is near the parameter list: the regular expressions see only that much.
    const size_t from = open > 300 ? open - 300 : 0;
    const std::string before = h.substr(from, open - from);
    static const std::regex named(R"((?:[A-Za-z_]\w*\s*(?:<[^;{}()]*>)?\s*::\s*)*(?:~\s*)?)"
                                  R"((operator\s*(?:\(\)|\[\]|[^\w\s(]+|[A-Za-z_][\w\s:<>*&]*)|[A-Za-z_]\w*)\s*$)");
    static const std::regex lambda(R"(\]\s*(<[^<>]*>)?\s*$)");
    static const std::regex statement(R"(^(if|for|while|switch|catch|return|sizeof|decltype|alignof)$)");
    std::smatch m;
    if (std::regex_search(before, m, named)) {
        std::string name = m.str(0);
        name.erase(std::remove_if(name.begin(), name.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)); }),
                   name.end());
        if (std::regex_match(name, statement))
            return d;
        d.isFunction = true;
        d.nameAt = from + size_t(m.position(0));
        d.name = name;
    } else if (std::regex_search(before, m, lambda)) {
        d.isFunction = true;
        d.nameAt = before.rfind('[') == std::string::npos ? open : from + before.rfind('[');
        d.name = "lambda";
    }
    return d;
}

struct Finding {
    int line;
    std::string name;
    int lines;
};

// The functions of one file longer than limit. A '{' outside every function
// opens a function body when its head declares one; inside a body every
// brace belongs to that function.
std::vector<Finding> longFunctions(const std::string &text, int limit, std::string &error)
{
    const std::string code = blanked(text);
    std::vector<int> lineOf(code.size() + 1, 1);
    for (size_t k = 0, line = 1; k < code.size(); ++k) {
        lineOf[k] = int(line);
        if (code[k] == '\n')
            ++line;
    }
    std::vector<Finding> found;
    std::vector<bool> scopes; // true: a function's body begins here
    size_t headFrom = 0;      // where the head of the next '{' begins
    int inFunction = 0;       // the depth of braces within the function
    int startLine = 0;
    std::string name;
    static const std::regex access(R"((public|protected|private|signals|slots|Q_SLOTS|Q_SIGNALS)\s*$)");
    for (size_t k = 0; k < code.size(); ++k) {
        const char c = code[k];
        if (inFunction > 0) {
            if (c == '{') {
                ++inFunction;
            } else if (c == '}' && --inFunction == 0) {
                const int length = lineOf[k] - startLine + 1;
                if (length > limit)
                    found.push_back({startLine, name, length});
                headFrom = k + 1;
            }
            continue;
        }
        if (c == ';') {
            headFrom = k + 1;
        } else if (c == ':' && !(k + 1 < code.size() && code[k + 1] == ':') && !(k > 0 && code[k - 1] == ':') &&
                   std::regex_search(code.substr(std::max(headFrom, k - std::min<size_t>(k, 40)), std::min(k - headFrom, std::min<size_t>(k, 40))), access)) {
            headFrom = k + 1; // "public:" and the like end nothing but the head
        } else if (c == '{') {
            const std::string head = code.substr(headFrom, k - headFrom);
            const std::string t = trimmed(head);
            const Declarator d = declarator(head);
            // In a constructor's initializer list, "member{value}" is not the body.
            const bool initializer = d.inInitializers && !t.empty() && (wordChar(t.back()) || t.back() == '>');
            if (initializer) {
                int depth = 0;
                for (; k < code.size(); ++k) {
                    if (code[k] == '{')
                        ++depth;
                    else if (code[k] == '}' && --depth == 0)
                        break;
                }
                continue;
            }
            if (d.isFunction) {
                inFunction = 1;
                // The line of the name's first character.
                size_t at = headFrom + d.nameAt;
                while (at < k && std::isspace(static_cast<unsigned char>(code[at])))
                    ++at;
                startLine = lineOf[at];
                name = d.name;
            } else {
                scopes.push_back(false);
                headFrom = k + 1;
            }
        } else if (c == '}') {
            if (scopes.empty()) {
                error = "unbalanced '}' at line " + std::to_string(lineOf[k]);
                return found;
            }
            scopes.pop_back();
            headFrom = k + 1;
        }
    }
    if (inFunction > 0 || !scopes.empty())
        error = "unbalanced '{' at the end";
    return found;
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
    std::vector<fs::path> files;
    for (const auto &e : fs::recursive_directory_iterator(root)) {
        const std::string ext = e.path().extension().string();
        if (e.is_regular_file() && (ext == ".cpp" || ext == ".h"))
            files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    int count = 0;
    bool broken = false;
    for (const fs::path &f : files) {
        std::ifstream in(f, std::ios::binary);
        std::stringstream buf;
        buf << in.rdbuf();
        std::string error;
        const std::string path = (shown / fs::relative(f, root)).generic_string();
        for (const Finding &x : longFunctions(buf.str(), limit, error)) {
            std::cout << path << ":" << x.line << ": " << x.name << " (" << x.lines << " lines)\n";
            ++count;
        }
        if (!error.empty()) {
            std::cout << path << ": cannot be read as code: " << error << "\n";
            broken = true;
        }
    }
    if (count > 0 || broken) {
        std::cout << count << " function(s) longer than " << limit << " lines\n";
        return 1;
    }
    std::cout << "function_length: " << files.size() << " files, no function longer than " << limit << " lines\n";
    return 0;
}
