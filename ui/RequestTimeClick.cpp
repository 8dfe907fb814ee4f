#include "ui/RequestTimeClick.h"

#include "platform/PlatformError.h"
#include "time/ResultTexts.h"

namespace chronavel {
namespace {

constexpr const char* ErrorTitle = "Error Validating Time";
constexpr const char* Province = "ON";

// Its first five characters, compared exactly, say whether an answer is an error text.
bool IsErrorAnswer(const std::string& answer)
{
    return answer.substr(0, 5) == "Error";
}

} // namespace

void HandleRequestTimeClick(const TimeRequest& request, IMessageBox& messageBox,
                            const std::function<void(const std::string& text)>& showLocalTime) noexcept
{
    try {
        // Events are pumped while the request waits, so another click may
        // run a whole request of its own inside this one.
        const std::string sAnswer = request(Province);
        if (IsErrorAnswer(sAnswer)) {
            messageBox.Show(sAnswer, ErrorTitle);
        } else {
            showLocalTime(sAnswer);
        }
    } catch (const RequestAbandoned&) {
        // The application is closing.
    } catch (const std::exception& failure) {
        try {
            messageBox.Show(ErrorPrefix + std::string(failure.what()), ErrorTitle);
        } catch (const std::exception&) {
            // Closing, or the box itself failed: nothing more can be shown.
        }
    }
}

} // namespace chronavel
