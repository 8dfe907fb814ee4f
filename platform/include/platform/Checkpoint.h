#pragma once

#include "platform/MessageBox.h"

#include <string>

namespace chronavel {

// Progress box ("P1" to "P9") under the application's title.
void ShowCheckpoint(IMessageBox& messageBox, const std::string& tag);

} // namespace chronavel
