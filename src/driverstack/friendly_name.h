// The device's friendly name and vendor in its driver key, put in line with
// what the device installer knows after the driver is installed.
#pragma once

#include <windows.h>
#include <setupapi.h>

// Rewrites the driver key's "FriendlyName" when it does not contain the
// device's friendly name, and sets an existing "Vendor" to "Marvanto". Values
// that are absent are not created. 1 when "Vendor" was written, else 0.
int UpdateFriendlyNameAndVendor(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData);
