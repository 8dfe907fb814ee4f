#include "platform/Checkpoint.h"

namespace chronavel {

void ShowCheckpoint(IMessageBox& messageBox, const std::string& tag)
{
    messageBox.Show(tag, {});
}

} // namespace chronavel
