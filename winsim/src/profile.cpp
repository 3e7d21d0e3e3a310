// INI files as GetPrivateProfileStringA / WritePrivateProfileStringA treat them: section and
// key names match without regard to ASCII case (double-byte characters match exactly), values
// are trimmed, and a write changes only the one line it concerns, keeping every other byte.
// Lines end in CR LF, LF or a lone CR.
#include "internal.h"

#include <cstring>
#include <fstream>
#include <sstream>

namespace winsim {

namespace {

struct Line {
    std::string text; // without its line ending
    std::string ending;
};

std::vector<Line> ReadLines(const std::string& host, bool* exists) {
    std::ifstream in(host, std::ios::binary);
    *exists = static_cast<bool>(in);
    std::vector<Line> lines;
    if (!in)
        return lines;
    std::ostringstream s;
    s << in.rdbuf();
    std::string all = s.str();
    size_t pos = 0;
    while (pos < all.size()) {
        size_t eol = all.find_first_of("\r\n", pos);
        Line line;
        if (eol == std::string::npos) {
            line.text = all.substr(pos);
            pos = all.size();
        } else {
            line.text = all.substr(pos, eol - pos);
            size_t len = all.compare(eol, 2, "\r\n") == 0 ? 2 : 1;
            line.ending = all.substr(eol, len);
            pos = eol + len;
        }
        lines.push_back(line);
    }
    return lines;
}

bool WriteLines(const std::string& host, const std::vector<Line>& lines) {
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    for (const Line& l : lines)
        out << l.text << l.ending;
    return static_cast<bool>(out);
}

// Blanks as the profile reader sees them: the control characters 9 to 13, ^Z and the space.
const char kBlanks[] = "\t\n\v\f\r\x1a ";

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(kBlanks);
    if (b == std::string::npos)
        return std::string();
    size_t e = s.find_last_not_of(kBlanks);
    return s.substr(b, e - b + 1);
}

// A header runs from '[' to the last ']' of the line; a '[' line without one is no header.
bool SectionName(const std::string& text, std::string* name) {
    std::string t = Trim(text);
    size_t close = t.rfind(']');
    if (t.empty() || t[0] != '[' || close == std::string::npos)
        return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

// A line without '=' names a key that has no value: reads and key lists pass it over, but a
// write of that key fills it in and a delete removes it.
enum class Entry { None, Bare, Pair };

Entry KeyValue(const std::string& text, std::string* key, std::string* value) {
    std::string t = Trim(text);
    if (t.empty() || t[0] == ';')
        return Entry::None;
    size_t eq = t.find('=');
    if (eq == std::string::npos) {
        *key = t;
        value->clear();
        return Entry::Bare;
    }
    *key = Trim(t.substr(0, eq));
    *value = Trim(t.substr(eq + 1));
    return Entry::Pair;
}

// Index range [begin, end) of the lines that belong to the named section (after its header),
// or false when the section is absent.
bool FindSection(const std::vector<Line>& lines, const std::string& section, size_t* header,
                 size_t* end) {
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (SectionName(lines[i].text, &name) && SameTextIgnoringCase(name, section)) {
            *header = i;
            size_t j = i + 1;
            std::string other;
            while (j < lines.size() && !SectionName(lines[j].text, &other))
                ++j;
            *end = j;
            return true;
        }
    }
    return false;
}

DWORD CopyOut(const std::string& value, LPSTR buf, DWORD size) {
    if (!buf || size == 0)
        return 0;
    size_t n = value.size() < size ? value.size() : size - 1;
    memcpy(buf, value.data(), n);
    buf[n] = 0;
    return static_cast<DWORD>(n);
}

std::string Unquote(const std::string& v) {
    if (v.size() >= 2 &&
        ((v.front() == '"' && v.back() == '"') || (v.front() == '\'' && v.back() == '\'')))
        return v.substr(1, v.size() - 2);
    return v;
}

std::string DefaultText(LPCSTR def) {
    std::string d = def ? def : "";
    while (!d.empty() && d.back() == ' ')
        d.pop_back();
    return d;
}

} // namespace

} // namespace winsim

using namespace winsim;

extern "C" {

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR buf, DWORD size,
                                      LPCSTR file) {
    Record("GetPrivateProfileStringA", {size},
           std::string(section ? section : "") + "|" + (key ? key : "") + "|" + (file ? file : ""));
    if (!file)
        return CopyOut(DefaultText(def), buf, size);
    bool exists = false;
    std::vector<Line> lines = ReadLines(HostPath(file), &exists);
    if (!exists)
        SetLastError(ERROR_FILE_NOT_FOUND);
    if (!section || !key) {
        // Name lists: each name terminated, the list ended by a second zero.
        std::string list;
        size_t header = 0, end = 0;
        if (!section) {
            std::string name;
            for (const Line& l : lines)
                if (SectionName(l.text, &name))
                    list += name + '\0';
        } else if (FindSection(lines, section, &header, &end)) {
            for (size_t i = header + 1; i < end; ++i) {
                std::string k, v;
                if (KeyValue(lines[i].text, &k, &v) == Entry::Pair)
                    list += k + '\0';
            }
        }
        if (!buf || size < 2)
            return 0;
        // Every name counts with its terminator; a list cut short counts two zeros less than
        // the buffer.
        if (list.size() + 1 > size) {
            list.resize(size - 2);
            list += '\0';
            memcpy(buf, list.data(), list.size());
            buf[list.size()] = 0;
            return size - 2;
        }
        memcpy(buf, list.data(), list.size());
        buf[list.size()] = 0;
        return static_cast<DWORD>(list.size());
    }
    // An empty section or key name never matches; the first line of the key decides.
    size_t header = 0, end = 0;
    if (*section && *key && FindSection(lines, section, &header, &end)) {
        for (size_t i = header + 1; i < end; ++i) {
            std::string k, v;
            Entry e = KeyValue(lines[i].text, &k, &v);
            if (e != Entry::None && SameTextIgnoringCase(k, key))
                return e == Entry::Pair ? CopyOut(Unquote(v), buf, size)
                                        : CopyOut(DefaultText(def), buf, size);
        }
    }
    return CopyOut(DefaultText(def), buf, size);
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
    Record("WritePrivateProfileStringA", {},
           std::string(section ? section : "") + "|" + (key ? key : "") + "|" +
               (value ? value : "") + "|" + (file ? file : ""));
    if (!section || !file) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (WritesDenied(file)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::string host = HostPath(file);
    bool exists = false;
    std::vector<Line> lines = ReadLines(host, &exists);
    size_t header = 0, end = 0;
    bool hasSection = FindSection(lines, section, &header, &end);
    if (!key) { // delete the whole section
        if (hasSection)
            lines.erase(lines.begin() + static_cast<long>(header),
                        lines.begin() + static_cast<long>(end));
    } else if (hasSection) {
        size_t found = end, lastKey = header;
        for (size_t i = header + 1; i < end; ++i) {
            std::string k, v;
            if (KeyValue(lines[i].text, &k, &v) != Entry::None) {
                lastKey = i;
                if (found == end && SameTextIgnoringCase(k, key))
                    found = i;
            }
        }
        if (found != end) {
            if (value) {
                std::string k, v;
                KeyValue(lines[found].text, &k, &v);
                lines[found].text = k + "=" + value;
            } else {
                lines.erase(lines.begin() + static_cast<long>(found));
            }
        } else if (value) {
            if (lines[lastKey].ending.empty())
                lines[lastKey].ending = "\r\n";
            lines.insert(lines.begin() + static_cast<long>(lastKey) + 1,
                         Line{std::string(key) + "=" + value, "\r\n"});
        }
    } else if (value) {
        if (!lines.empty() && lines.back().ending.empty())
            lines.back().ending = "\r\n";
        lines.push_back(Line{std::string("[") + section + "]", "\r\n"});
        lines.push_back(Line{std::string(key) + "=" + value, "\r\n"});
    }
    if (!WriteLines(host, lines)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

} // extern "C"
