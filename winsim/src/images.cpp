// Icons and cursors: handles made from the compiled icon and cursor groups (the image that best
// fits the asked size), or from the system's own cursors and icons. A handle remembers where
// it came from so that tests can say what the user would see.
#include "internal.h"
#include "resources.h"

#include <winsim/control_res.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace winsim {
namespace {

// The size of SM_CXICON / SM_CXCURSOR on the simulated screen.
constexpr int kDefaultSize = 32;

struct ImageState {
    std::map<HANDLE, control::ImageInfo> images;
    std::map<std::string, HANDLE> shared;
    uintptr_t created = 0;
};

ImageState& State() {
    static ImageState state;
    return state;
}
void ResetImages() {
    State() = ImageState();
}
const bool registered = (OnReset(&ResetImages), true);

uint16_t Word(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Dword(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct GroupEntry {
    int width = 0;
    int height = 0;
    int bits = 0;
    WORD id = 0;
};

// The entries of an icon or cursor group. Icon entries are 14 bytes (byte sizes); cursor
// entries are 14 bytes too, with word sizes and the height counting both bitmaps.
std::vector<GroupEntry> ParseGroup(const uint8_t* data, size_t size, bool cursor) {
    std::vector<GroupEntry> out;
    if (size < 6)
        return out;
    size_t count = Word(data + 4);
    for (size_t i = 0; i < count && 6 + 14 * (i + 1) <= size; ++i) {
        const uint8_t* e = data + 6 + 14 * i;
        GroupEntry g;
        if (cursor) {
            g.width = Word(e);
            g.height = Word(e + 2) / 2;
        } else {
            g.width = e[0] ? e[0] : 256;
            g.height = e[1] ? e[1] : 256;
        }
        g.bits = Word(e + 6);
        g.id = Word(e + 12);
        out.push_back(g);
    }
    return out;
}

// The entry the platform would pick for the size: an exact size with the most colours, else
// the nearest size, a larger one on a tie (scaling down looks better).
const GroupEntry* Pick(const std::vector<GroupEntry>& entries, int cx, int cy) {
    const GroupEntry* best = nullptr;
    long bestScore = 0;
    for (const GroupEntry& e : entries) {
        long distance = std::labs(static_cast<long>(e.width - cx)) +
                        std::labs(static_cast<long>(e.height - cy));
        // Lower is better: distance first, then larger images, then more colours.
        long score = distance * 1000000L - (e.width + e.height) * 100L - e.bits;
        if (best == nullptr || score < bestScore) {
            best = &e;
            bestScore = score;
        }
    }
    return best;
}

// Reads the device-independent bitmap of one icon or cursor image into info.
bool DecodeDib(const uint8_t* dib, size_t size, control::ImageInfo* info) {
    if (size < 40)
        return false;
    uint32_t headerSize = Dword(dib);
    int32_t width = static_cast<int32_t>(Dword(dib + 4));
    int32_t height = static_cast<int32_t>(Dword(dib + 8)) / 2; // colour bitmap and mask
    int bits = Word(dib + 14);
    uint32_t used = Dword(dib + 32);
    if (headerSize < 40 || headerSize > size || width <= 0 || height <= 0 || width > 256 ||
        height > 256)
        return false;
    info->sourceWidth = width;
    info->sourceHeight = height;
    info->bitsPerPixel = bits;
    if (bits != 1 && bits != 4 && bits != 8)
        return true; // true-colour images: size and depth are enough
    size_t colours = used ? used : (size_t{1} << bits);
    size_t stride = (static_cast<size_t>(width) * static_cast<size_t>(bits) + 31) / 32 * 4;
    size_t maskStride = (static_cast<size_t>(width) + 31) / 32 * 4;
    size_t colourAt = headerSize + colours * 4;
    size_t maskAt = colourAt + stride * static_cast<size_t>(height);
    if (colours > 256 || maskAt + maskStride * static_cast<size_t>(height) > size)
        return false;
    info->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        // Rows are stored bottom-up.
        const uint8_t* row = dib + colourAt + stride * static_cast<size_t>(height - 1 - y);
        const uint8_t* mask = dib + maskAt + maskStride * static_cast<size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            size_t bit = static_cast<size_t>(x) * static_cast<size_t>(bits);
            int value =
                (row[bit / 8] >> (8 - bits - static_cast<int>(bit % 8))) & ((1 << bits) - 1);
            bool transparent = (mask[x / 8] >> (7 - x % 8)) & 1;
            info->pixels[static_cast<size_t>(y) * static_cast<size_t>(width) +
                         static_cast<size_t>(x)] = transparent ? -1 : value;
        }
    }
    return true;
}

HANDLE NewHandle(const control::ImageInfo& info) {
    ImageState& s = State();
    HANDLE h = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x1C000000u + 8u * ++s.created));
    s.images[h] = info;
    return h;
}

bool IsSystemCursor(ULONG_PTR id) {
    return (id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32651);
}
bool IsSystemIcon(ULONG_PTR id) {
    return id >= 32512 && id <= 32518;
}

HANDLE Load(HINSTANCE hInst, LPCSTR name, UINT type, int cx, int cy, UINT flags) {
    if (type != IMAGE_ICON && type != IMAGE_CURSOR) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND); // the program has no bitmaps
        return nullptr;
    }
    if ((flags & LR_LOADFROMFILE) || name == nullptr) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    bool cursor = type == IMAGE_CURSOR;
    control::ImageInfo info;
    info.resource = NameText(name);
    info.type = type;
    info.shared = (flags & LR_SHARED) != 0;
    std::string key;
    if (hInst == nullptr) {
        // Instance NULL names the system's own images.
        ULONG_PTR id = reinterpret_cast<ULONG_PTR>(name);
        if (!IS_INTRESOURCE(name) || !(cursor ? IsSystemCursor(id) : IsSystemIcon(id))) {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return nullptr;
        }
        info.system = true;
        info.width = info.sourceWidth = cx ? cx : kDefaultSize;
        info.height = info.sourceHeight = cy ? cy : kDefaultSize;
    } else {
        const uint8_t* group = nullptr;
        size_t groupSize = 0;
        if (!FindResourceBytes(hInst, cursor ? RT_GROUP_CURSOR : RT_GROUP_ICON, name, &group,
                               &groupSize))
            return nullptr;
        std::vector<GroupEntry> entries = ParseGroup(group, groupSize, cursor);
        if (entries.empty()) {
            SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
            return nullptr;
        }
        // Size 0 means the system size with LR_DEFAULTSIZE, else the resource's own.
        int wantX = cx ? cx : (flags & LR_DEFAULTSIZE) ? kDefaultSize : entries[0].width;
        int wantY = cy ? cy : (flags & LR_DEFAULTSIZE) ? kDefaultSize : entries[0].height;
        const GroupEntry* pick = Pick(entries, wantX, wantY);
        const uint8_t* image = nullptr;
        size_t imageSize = 0;
        if (!FindResourceBytes(hInst, cursor ? RT_CURSOR : RT_ICON, MAKEINTRESOURCEA(pick->id),
                               &image, &imageSize)) {
            SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
            return nullptr;
        }
        if (cursor) {
            if (imageSize < 4) {
                SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
                return nullptr;
            }
            info.hotSpot.x = Word(image);
            info.hotSpot.y = Word(image + 2);
            image += 4;
            imageSize -= 4;
        }
        if (!DecodeDib(image, imageSize, &info)) {
            SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
            return nullptr;
        }
        info.width = wantX;
        info.height = wantY;
    }
    if (info.shared) {
        key = std::to_string(reinterpret_cast<uintptr_t>(hInst)) + "|" + std::to_string(type) +
              "|" + info.resource + "|" + std::to_string(info.width) + "x" +
              std::to_string(info.height);
        auto it = State().shared.find(key);
        if (it != State().shared.end())
            return it->second;
    }
    HANDLE h = NewHandle(info);
    if (info.shared)
        State().shared[key] = h;
    return h;
}

BOOL DestroyImage(HANDLE h) {
    auto it = State().images.find(h);
    if (it == State().images.end() || it->second.destroyed) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return FALSE;
    }
    // Shared images belong to the system; destroying one is accepted and does nothing.
    if (!it->second.shared)
        it->second.destroyed = true;
    return TRUE;
}

uintptr_t Arg(const void* p) {
    return reinterpret_cast<uintptr_t>(p);
}

} // namespace

int LiveImages() {
    int n = 0;
    for (const auto& entry : State().images)
        if (!entry.second.shared && !entry.second.destroyed)
            ++n;
    return n;
}

namespace control {

bool DescribeImage(HANDLE image, ImageInfo* info) {
    auto it = State().images.find(image);
    if (it == State().images.end())
        return false;
    *info = it->second;
    return true;
}

std::string ImageLabel(HANDLE image) {
    ImageInfo info;
    if (!DescribeImage(image, &info))
        return "";
    if (info.system)
        return "system " + info.resource;
    return info.resource + " " + std::to_string(info.width) + "x" + std::to_string(info.height);
}

} // namespace control
} // namespace winsim

using namespace winsim;

extern "C" {

HANDLE WINAPI LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad) {
    Record("LoadImageA",
           {Arg(hInst), type, static_cast<uintptr_t>(cx), static_cast<uintptr_t>(cy), fuLoad},
           NameText(name));
    return Load(hInst, name, type, cx, cy, fuLoad);
}

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    Record("LoadIconA", {Arg(hInstance)}, NameText(lpIconName));
    return static_cast<HICON>(
        Load(hInstance, lpIconName, IMAGE_ICON, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    Record("LoadCursorA", {Arg(hInstance)}, NameText(lpCursorName));
    return static_cast<HCURSOR>(
        Load(hInstance, lpCursorName, IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
}

BOOL WINAPI DestroyIcon(HICON hIcon) {
    Record("DestroyIcon", {Arg(hIcon)});
    // The window would go on drawing a handle that no longer stands for anything.
    std::string shownBy = DialogShowingIcon(hIcon);
    if (!shownBy.empty())
        Fail("DestroyIcon of an icon that " + shownBy + " still shows");
    if (NotifyAreaShowsIcon(hIcon))
        Fail("DestroyIcon of an icon the notification area still shows");
    bool fileIcon = false;
    if (DestroyFileIcon(hIcon, &fileIcon))
        return TRUE;
    if (fileIcon) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return FALSE;
    }
    return DestroyImage(hIcon);
}

BOOL WINAPI DestroyCursor(HCURSOR hCursor) {
    Record("DestroyCursor", {Arg(hCursor)});
    return DestroyImage(hCursor);
}

} // extern "C"
