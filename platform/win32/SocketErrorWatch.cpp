#include "platform/win32/SocketErrorWatch.h"

#include <algorithm>

namespace chronavel {

void SocketErrorWatch::Add(ISocketErrorSource& source)
{
    m_sources.push_back(&source);
}

void SocketErrorWatch::Remove(ISocketErrorSource& source)
{
    std::erase(m_sources, &source);
}

void SocketErrorWatch::CheckAll()
{
    for (ISocketErrorSource* source : m_sources) {
        source->CheckPendingError();
    }
}

} // namespace chronavel
