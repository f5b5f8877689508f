// The splash picture: decoded from its payload bytes with OleLoadPicture.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include "payload/payload_buffer.h"
#include "base/com_ref.h"
#include "base/gdi_handles.h"

namespace brisk {

// The picture of raw payload bytes: a packed container is unpacked first;
// fewer than 11 bytes, a container that does not unpack or data that does not
// decode give no picture.
ComRef<IPicture> LoadSplashPicture(const PayloadBuffer& raw);

}  // namespace brisk
