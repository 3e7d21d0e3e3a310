// The version block of the program's file, handed out the way the platform hands it to an ANSI
// program: the block as compiled (UTF-16), in a buffer twice its size plus four bytes, the
// second half of which receives the code page 932 copies of the strings asked for.
#include "internal.h"
#include "resources.h"

#include <winsim/control_res.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace winsim {
namespace {

// One node of the block: wLength, wValueLength, wType, the key, the value, the children.
struct Node {
    std::u16string key;
    WORD type = 0; // 1 text, 0 binary
    std::vector<uint8_t> value;
    std::vector<Node> children;
};

struct Edit {
    std::string key;
    bool remove = false;
    std::u16string value;
};

struct VersionState {
    bool none = false;
    bool noTranslation = false;
    int translationBytes = -1; // the Translation value cut to this many bytes; -1: whole
    std::vector<Edit> edits;
    std::map<const void*, DWORD> blockSizes; // buffers filled by GetFileVersionInfoA
};

VersionState& State() {
    static VersionState state;
    return state;
}
void ResetVersion() {
    State() = VersionState();
}
const bool registered = (OnReset(&ResetVersion), true);

const char kStringTable[] = "041104b0";

uint16_t Word(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
size_t Align4(size_t n) {
    return (n + 3) & ~static_cast<size_t>(3);
}

std::string Narrow(const std::u16string& s) {
    return Cp932FromUtf16(reinterpret_cast<const uint16_t*>(s.data()), s.size());
}

// Header of the node at p, bounded by avail bytes. Sets the offsets of its value and children.
struct RawNode {
    size_t length = 0;
    size_t valueLength = 0; // as stored: characters for text, bytes for binary
    WORD type = 0;
    std::u16string key;
    size_t valueAt = 0;
    size_t valueBytes = 0;
    size_t childrenAt = 0;
};

bool ReadNode(const uint8_t* p, size_t avail, RawNode* out) {
    if (avail < 6)
        return false;
    RawNode n;
    n.length = Word(p);
    n.valueLength = Word(p + 2);
    n.type = Word(p + 4);
    if (n.length < 6 || n.length > avail)
        return false;
    size_t at = 6;
    while (true) {
        if (at + 2 > n.length)
            return false;
        char16_t u = static_cast<char16_t>(Word(p + at));
        at += 2;
        if (u == 0)
            break;
        n.key.push_back(u);
    }
    n.valueAt = Align4(at);
    n.valueBytes = n.type == 1 ? n.valueLength * 2 : n.valueLength;
    if (n.valueAt > n.length)
        n.valueAt = n.length;
    if (n.valueBytes > n.length - n.valueAt)
        n.valueBytes = n.length - n.valueAt; // a damaged length: keep inside the node
    n.childrenAt = Align4(n.valueAt + n.valueBytes);
    *out = std::move(n);
    return true;
}

bool Parse(const uint8_t* p, size_t avail, Node* out, int depth = 0) {
    RawNode raw;
    if (depth > 8 || !ReadNode(p, avail, &raw))
        return false;
    out->key = raw.key;
    out->type = raw.type;
    out->value.assign(p + raw.valueAt, p + raw.valueAt + raw.valueBytes);
    for (size_t at = raw.childrenAt; at + 6 <= raw.length;) {
        Node child;
        if (!Parse(p + at, raw.length - at, &child, depth + 1))
            return false;
        size_t used = Word(p + at);
        out->children.push_back(std::move(child));
        at = Align4(at + used);
    }
    return true;
}

void PutWord(std::vector<uint8_t>& out, size_t at, size_t v) {
    out[at] = static_cast<uint8_t>(v & 0xFF);
    out[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

void Pad(std::vector<uint8_t>& out) {
    while (out.size() % 4)
        out.push_back(0);
}

// Appends the node at out's current (4-aligned) end.
void Serialize(const Node& n, std::vector<uint8_t>& out) {
    size_t start = out.size();
    out.resize(start + 6, 0);
    for (char16_t u : n.key) {
        out.push_back(static_cast<uint8_t>(u & 0xFF));
        out.push_back(static_cast<uint8_t>(u >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    Pad(out);
    out.insert(out.end(), n.value.begin(), n.value.end());
    for (const Node& child : n.children) {
        Pad(out);
        Serialize(child, out);
    }
    PutWord(out, start, out.size() - start);
    PutWord(out, start + 2, n.type == 1 ? n.value.size() / 2 : n.value.size());
    PutWord(out, start + 4, n.type);
}

Node* Child(Node& n, const std::string& key) {
    for (Node& c : n.children)
        if (SameTextIgnoringCase(Narrow(c.key), key))
            return &c;
    return nullptr;
}

// The program file's block with the test's changes applied; empty when it has none.
std::vector<uint8_t> CurrentBlock() {
    VersionState& s = State();
    if (s.none)
        return {};
    const uint8_t* data = nullptr;
    size_t size = 0;
    if (!FindResourceBytes(nullptr, RT_VERSION, MAKEINTRESOURCEA(VS_VERSION_INFO), &data, &size))
        return {};
    if (s.edits.empty() && !s.noTranslation && s.translationBytes < 0)
        return std::vector<uint8_t>(data, data + size);
    Node root;
    if (!Parse(data, size, &root)) {
        Fail("winsim: the compiled version block is damaged");
        return {};
    }
    Node* strings = Child(root, "StringFileInfo");
    Node* table = strings ? Child(*strings, kStringTable) : nullptr;
    for (const Edit& e : s.edits) {
        if (table == nullptr)
            break;
        Node* value = Child(*table, e.key);
        if (e.remove) {
            if (value != nullptr)
                table->children.erase(table->children.begin() + (value - table->children.data()));
            continue;
        }
        if (value == nullptr) {
            Node added;
            added.key = Utf16FromCp932(e.key);
            table->children.push_back(std::move(added));
            value = &table->children.back();
        }
        value->type = 1;
        value->value.clear();
        for (char16_t u : e.value) {
            value->value.push_back(static_cast<uint8_t>(u & 0xFF));
            value->value.push_back(static_cast<uint8_t>(u >> 8));
        }
        value->value.push_back(0);
        value->value.push_back(0);
    }
    if (Node* var = Child(root, "VarFileInfo")) {
        std::vector<Node>& kids = var->children;
        for (size_t i = 0; i < kids.size();) {
            if (!SameTextIgnoringCase(Narrow(kids[i].key), "Translation")) {
                ++i;
            } else if (s.noTranslation) {
                kids.erase(kids.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                if (s.translationBytes >= 0 &&
                    kids[i].value.size() > static_cast<size_t>(s.translationBytes))
                    kids[i].value.resize(static_cast<size_t>(s.translationBytes));
                ++i;
            }
        }
    }
    std::vector<uint8_t> out;
    Serialize(root, out);
    if (out.size() > 0xFFFF) {
        Fail("winsim: the version block grew past 64 KB");
        return {};
    }
    return out;
}

// Whether the folder a file name names exists on the simulated disk.
bool FolderExists(LPCSTR file) {
    if (file == nullptr)
        return false;
    std::string name(file);
    size_t slash = name.find_last_of('\\');
    if (slash == std::string::npos)
        return true; // the current folder
    std::error_code ec;
    return std::filesystem::is_directory(HostPath(name.substr(0, slash)), ec);
}

// The block for a file name, or false with the last error set.
bool BlockFor(LPCSTR file, std::vector<uint8_t>* block) {
    char own[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(nullptr, own, MAX_PATH);
    if (file == nullptr || n == 0 || n >= MAX_PATH || !SameTextIgnoringCase(file, own)) {
        SetLastError(FolderExists(file) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return false;
    }
    *block = CurrentBlock();
    if (block->empty()) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return false;
    }
    return true;
}

// Finds the node that a "\A\B\C" path names, starting at the root; returns its offset.
bool Lookup(const uint8_t* block, size_t avail, const char* path, RawNode* found, size_t* offset) {
    size_t at = 0;
    RawNode node;
    if (!ReadNode(block, avail, &node))
        return false;
    const char* p = path;
    while (*p) {
        if (*p == '\\') {
            ++p;
            continue;
        }
        const char* stop = p;
        while (*stop && *stop != '\\')
            ++stop;
        std::string want(p, stop);
        p = stop;
        bool matched = false;
        size_t end = at + node.length;
        for (size_t child = at + node.childrenAt; child + 6 <= end;) {
            RawNode c;
            if (!ReadNode(block + child, end - child, &c))
                return false;
            if (SameTextIgnoringCase(Narrow(c.key), want)) {
                at = child;
                node = std::move(c);
                matched = true;
                break;
            }
            child = Align4(child + c.length);
        }
        if (!matched)
            return false;
    }
    *found = std::move(node);
    *offset = at;
    return true;
}

uintptr_t Arg(const void* p) {
    return reinterpret_cast<uintptr_t>(p);
}

} // namespace

namespace control {

void SetNoVersionBlock() {
    State().none = true;
}
void ShortenVersionTranslation(int bytes) {
    State().translationBytes = bytes;
}
void RemoveVersionTranslation() {
    State().noTranslation = true;
}
void SetVersionString(const std::string& key, const std::string& value) {
    State().edits.push_back(Edit{key, false, Utf16FromCp932(value)});
}
void RemoveVersionString(const std::string& key) {
    State().edits.push_back(Edit{key, true, {}});
}

} // namespace control
} // namespace winsim

using namespace winsim;

extern "C" {

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle) {
    Record("GetFileVersionInfoSizeA", {Arg(lpdwHandle)}, lptstrFilename ? lptstrFilename : "");
    if (lpdwHandle != nullptr)
        *lpdwHandle = 0;
    std::vector<uint8_t> block;
    if (!BlockFor(lptstrFilename, &block))
        return 0;
    // Room for the block and, after a 4-byte signature, the ANSI copies of its strings.
    return static_cast<DWORD>(block.size() * 2 + 4);
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData) {
    Record("GetFileVersionInfoA", {dwHandle, dwLen, Arg(lpData)},
           lptstrFilename ? lptstrFilename : "");
    // The platform writes to the buffer unchecked: NT 4 crashes on a NULL one.
    if (lpData == nullptr) {
        Fail("GetFileVersionInfoA with a NULL buffer");
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<uint8_t> block;
    if (!BlockFor(lptstrFilename, &block))
        return FALSE;
    // A short buffer receives what fits, as on the platform.
    size_t n = block.size() < dwLen ? block.size() : dwLen;
    std::memcpy(lpData, block.data(), n);
    if (dwLen >= block.size() + 4)
        std::memcpy(static_cast<uint8_t*>(lpData) + block.size(), "FE2X", 4);
    State().blockSizes[lpData] = dwLen;
    return TRUE;
}

BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen) {
    Record("VerQueryValueA", {Arg(pBlock), Arg(lplpBuffer), Arg(puLen)},
           lpSubBlock ? lpSubBlock : "");
    if (pBlock == nullptr || lpSubBlock == nullptr || lplpBuffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const uint8_t* block = static_cast<const uint8_t*>(pBlock);
    size_t rootLength = Word(block);
    // A buffer that GetFileVersionInfoA filled is known by size; read nothing beyond it.
    size_t avail = rootLength;
    size_t capacity = rootLength * 2 + 4;
    auto known = State().blockSizes.find(pBlock);
    if (known != State().blockSizes.end()) {
        capacity = known->second;
        if (avail > capacity)
            avail = capacity;
    }
    RawNode node;
    size_t at = 0;
    if (!Lookup(block, avail, lpSubBlock, &node, &at)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    size_t valuePos = at + node.valueAt;
    if (node.type != 1) {
        *lplpBuffer = const_cast<uint8_t*>(block + valuePos);
        if (puLen != nullptr)
            *puLen = static_cast<UINT>(node.valueLength);
        return TRUE;
    }
    // Text: the code page 932 copy goes to the same offset in the buffer's second half.
    std::u16string text;
    for (size_t i = 0; i + 2 <= node.valueBytes; i += 2) {
        char16_t u = static_cast<char16_t>(Word(block + valuePos + i));
        if (u == 0)
            break;
        text.push_back(u);
    }
    std::string ansi = Narrow(text);
    size_t target = rootLength + 4 + valuePos;
    if (target + ansi.size() + 1 > capacity) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    uint8_t* out = const_cast<uint8_t*>(block) + target;
    std::memcpy(out, ansi.data(), ansi.size());
    out[ansi.size()] = '\0';
    *lplpBuffer = out;
    if (puLen != nullptr)
        *puLen = node.valueLength == 0 ? 0 : static_cast<UINT>(ansi.size() + 1);
    return TRUE;
}

} // extern "C"
