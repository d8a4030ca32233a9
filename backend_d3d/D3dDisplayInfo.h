#ifndef QUORIN_D3DDISPLAYINFO_H
#define QUORIN_D3DDISPLAYINFO_H

#include "Device.h"

#include <cstdint>
#include <string>
#include <vector>

struct IDirect3D9;

// The graphics vendor's name from the adapter's PCI vendor id; "unknown
// vendor" for an id not in the table.
const char* vendorName(uint32_t vendorId);

// The driver version "a.b.c.d" from its four 16-bit parts, high part first.
std::string driverVersionText(uint32_t highPart, uint32_t lowPart);

// Appends the size unless the list holds it already: display modes that
// differ only in their refresh rate are listed once, in first-seen order.
void addDisplayMode(std::vector<DisplayMode>& modes, int width, int height);

// Fills the record from adapter 0 of the Direct3D object: vendor, adapter
// description, driver version and the 32-bit (X8R8G8B8) full-screen sizes.
void fillDisplayInfo(DisplayInfo& info, IDirect3D9* direct3d);

#endif
