#pragma once

#include "platform/MessageBox.h"
#include "ui/TimeRequest.h"

#include <functional>
#include <string>

namespace chronavel {

// What a click on "Request Time" does in either window: asks for Ontario's
// time, then shows an error answer in a box titled "Error Validating Time"
// and any other answer through showLocalTime. A failure that escapes the
// request is shown like an error answer; once the application is closing
// there is nobody left to tell.
void HandleRequestTimeClick(const TimeRequest& request, IMessageBox& messageBox,
                            const std::function<void(const std::string& text)>& showLocalTime) noexcept;

} // namespace chronavel
