// The program's compiled resources: the .res file that the resource compiler made from
// res/trovanix.rc, embedded in the build, read like the resource section of the executable.
#include "resources.h"

#include "internal.h"

#include <cstring>
#include <string>
#include <vector>

namespace winsim {

// Emitted by the build from the compiled .res file.
extern const unsigned char kProgramResources[];
extern const size_t kProgramResourcesSize;

namespace {

// A resource type or name: a number, or an upper-cased string.
struct ResId {
    bool isNumber = false;
    WORD number = 0;
    std::string text;
};

struct Entry {
    ResId type;
    ResId name;
    WORD language = 0;
    const uint8_t* data = nullptr;
    size_t size = 0;
};

uint16_t Word(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Dword(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Reads a type or name field of a .res entry header; false when it runs past end.
bool ReadResId(const uint8_t*& p, const uint8_t* end, ResId* out) {
    if (end - p < 2)
        return false;
    if (Word(p) == 0xFFFF) {
        if (end - p < 4)
            return false;
        out->isNumber = true;
        out->number = Word(p + 2);
        p += 4;
        return true;
    }
    std::vector<uint16_t> units;
    while (true) {
        if (end - p < 2)
            return false;
        uint16_t u = Word(p);
        p += 2;
        if (u == 0)
            break;
        units.push_back(u);
    }
    out->isNumber = false;
    out->text = FoldCase(Cp932FromUtf16(units.data(), units.size()));
    return true;
}

std::vector<Entry> ParseRes(const uint8_t* data, size_t size) {
    std::vector<Entry> entries;
    size_t pos = 0;
    while (size - pos >= 32) {
        const uint8_t* head = data + pos;
        uint32_t dataSize = Dword(head);
        uint32_t headerSize = Dword(head + 4);
        if (headerSize < 16 || headerSize > size - pos || dataSize > size - pos - headerSize) {
            Fail("winsim: the embedded resources are damaged");
            break;
        }
        const uint8_t* p = head + 8;
        const uint8_t* headEnd = head + headerSize;
        Entry e;
        bool ok = ReadResId(p, headEnd, &e.type) && ReadResId(p, headEnd, &e.name);
        size_t used = static_cast<size_t>(p - head);
        used = (used + 3) & ~static_cast<size_t>(3);
        // DataVersion (4), MemoryFlags (2), LanguageId (2), Version (4), Characteristics (4).
        if (!ok || used + 16 > headerSize) {
            Fail("winsim: the embedded resources are damaged");
            break;
        }
        e.language = Word(head + used + 6);
        e.data = head + headerSize;
        e.size = dataSize;
        // The compiler starts the file with an empty entry of type 0.
        if (!(e.type.isNumber && e.type.number == 0))
            entries.push_back(e);
        size_t next = pos + headerSize + dataSize;
        next = (next + 3) & ~static_cast<size_t>(3);
        if (next <= pos)
            break;
        pos = next;
    }
    return entries;
}

const std::vector<Entry>& Entries() {
    static const std::vector<Entry> entries = ParseRes(kProgramResources, kProgramResourcesSize);
    return entries;
}

// A type or name as the caller gives it: MAKEINTRESOURCE, "#123" or a name.
ResId FromArgument(LPCSTR s) {
    ResId id;
    if (IS_INTRESOURCE(s)) {
        id.isNumber = true;
        id.number = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(s));
        return id;
    }
    if (s[0] == '#' && s[1] != '\0') {
        unsigned long n = 0;
        bool digits = true;
        for (const char* q = s + 1; *q; ++q) {
            if (*q < '0' || *q > '9' || n > 0xFFFF) {
                digits = false;
                break;
            }
            n = n * 10 + static_cast<unsigned long>(*q - '0');
        }
        if (digits && n <= 0xFFFF) {
            id.isNumber = true;
            id.number = static_cast<WORD>(n);
            return id;
        }
    }
    id.text = FoldCase(s);
    return id;
}

bool Same(const ResId& a, const ResId& b) {
    if (a.isNumber != b.isNumber)
        return false;
    return a.isNumber ? a.number == b.number : a.text == b.text;
}

bool OwnModule(HINSTANCE module) {
    return module == nullptr || module == ProgramInstance();
}

// The entry for type and name, Japanese preferred, else the first compiled; or, with
// exactLanguage, only that language. Sets the last error as the platform does on failure.
const Entry* Find(HINSTANCE module, LPCSTR type, LPCSTR name, bool exactLanguage, WORD language) {
    if (!OwnModule(module)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    if (type == nullptr || name == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    ResId t = FromArgument(type);
    ResId n = FromArgument(name);
    const Entry* first = nullptr;
    bool typeSeen = false;
    bool nameSeen = false;
    for (const Entry& e : Entries()) {
        if (!Same(e.type, t))
            continue;
        typeSeen = true;
        if (!Same(e.name, n))
            continue;
        nameSeen = true;
        if (exactLanguage) {
            if (e.language == language)
                return &e;
            continue;
        }
        if (e.language == MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT))
            return &e;
        if (first == nullptr)
            first = &e;
    }
    if (first != nullptr)
        return first;
    SetLastError(!typeSeen   ? ERROR_RESOURCE_TYPE_NOT_FOUND
                 : !nameSeen ? ERROR_RESOURCE_NAME_NOT_FOUND
                             : ERROR_RESOURCE_LANG_NOT_FOUND);
    return nullptr;
}

const Entry* FromHandle(HRSRC h) {
    for (const Entry& e : Entries())
        if (reinterpret_cast<HRSRC>(const_cast<Entry*>(&e)) == h)
            return &e;
    return nullptr;
}

} // namespace

bool FindResourceBytes(HINSTANCE module, LPCSTR type, LPCSTR name, const uint8_t** data,
                       size_t* size) {
    const Entry* e = Find(module, type, name, false, 0);
    if (e == nullptr)
        return false;
    *data = e->data;
    *size = e->size;
    return true;
}

bool FindResourceBytesLang(HINSTANCE module, LPCSTR type, LPCSTR name, WORD language,
                           const uint8_t** data, size_t* size) {
    const Entry* e = Find(module, type, name, true, language);
    if (e == nullptr)
        return false;
    *data = e->data;
    *size = e->size;
    return true;
}

WORD ResourceLanguage(HINSTANCE module, LPCSTR type, LPCSTR name) {
    const Entry* e = Find(module, type, name, false, 0);
    return e ? e->language : 0;
}

} // namespace winsim

using namespace winsim;

extern "C" {

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    const Entry* e = Find(hModule, lpType, lpName, false, 0);
    return reinterpret_cast<HRSRC>(const_cast<Entry*>(e));
}

HRSRC WINAPI FindResourceExA(HMODULE hModule, LPCSTR lpType, LPCSTR lpName, WORD wLanguage) {
    // The neutral language asks for the usual choice, as FindResourceA does.
    const Entry* e = Find(hModule, lpType, lpName, wLanguage != 0, wLanguage);
    return reinterpret_cast<HRSRC>(const_cast<Entry*>(e));
}

HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo) {
    const Entry* e = FromHandle(hResInfo);
    if (e == nullptr || !OwnModule(hModule)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    // The resource section is read-only, as in a mapped executable.
    return const_cast<uint8_t*>(e->data);
}

LPVOID WINAPI LockResource(HGLOBAL hResData) {
    return hResData;
}

DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo) {
    const Entry* e = FromHandle(hResInfo);
    if (e == nullptr || !OwnModule(hModule)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    return static_cast<DWORD>(e->size);
}

} // extern "C"
