// gdi32: stock objects, and the text colour and background mode of device contexts.
#include "internal.h"

#include <winsim/control_dialog.h>

namespace winsim {

namespace {

const COLORREF kBlack = 0x000000;
const COLORREF kWhite = 0xFFFFFF;
const int kLastStockObject = 19; // DC_PEN

struct Gdi {
    std::map<HDC, control::DeviceContextInfo> dcs;
    uintptr_t nextDc = 0x2D000010;
};

Gdi& G() {
    static Gdi gdi;
    return gdi;
}

void ResetGdi() {
    G() = Gdi();
}
const bool registered = (OnReset(&ResetGdi), true);

// Stock objects are fixed handles that live as long as the system.
HGDIOBJ StockHandle(int index) {
    if (index < 0 || index > kLastStockObject || index == 9) // 9 is no stock object
        return nullptr;
    return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(0x01900010 + index * 0x10));
}

} // namespace

} // namespace winsim

using namespace winsim;

extern "C" {

HGDIOBJ WINAPI GetStockObject(int index) {
    Record("GetStockObject", {static_cast<uintptr_t>(index)});
    return StockHandle(index);
}

COLORREF WINAPI SetTextColor(HDC dc, COLORREF color) {
    Record("SetTextColor", {reinterpret_cast<uintptr_t>(dc), color});
    auto it = G().dcs.find(dc);
    if (it == G().dcs.end())
        return CLR_INVALID;
    COLORREF old = it->second.textColor;
    it->second.textColor = color;
    it->second.textColorSet = true;
    return old;
}

int WINAPI SetBkMode(HDC dc, int mode) {
    Record("SetBkMode", {reinterpret_cast<uintptr_t>(dc), static_cast<uintptr_t>(mode)});
    auto it = G().dcs.find(dc);
    if (it == G().dcs.end() || (mode != TRANSPARENT && mode != OPAQUE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int old = it->second.bkMode;
    it->second.bkMode = mode;
    it->second.bkModeSet = true;
    return old;
}

} // extern "C"

namespace winsim::control {

HDC CreateDeviceContext() {
    HDC dc = reinterpret_cast<HDC>(G().nextDc);
    G().nextDc += 0x10;
    G().dcs[dc] = DeviceContextInfo{kBlack, OPAQUE, kWhite, false, false};
    return dc;
}

bool DescribeDeviceContext(HDC dc, DeviceContextInfo* out) {
    auto it = G().dcs.find(dc);
    if (it == G().dcs.end())
        return false;
    *out = it->second;
    return true;
}

HGDIOBJ StockObject(int index) {
    return StockHandle(index);
}

} // namespace winsim::control
