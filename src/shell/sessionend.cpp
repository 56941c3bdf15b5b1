#include "shell/sessionend.h"

#include <QSessionManager>

namespace kelo {

bool QtSessionEnd::allowsInteraction()
{
    return m_manager.allowsInteraction();
}

void QtSessionEnd::release()
{
    m_manager.release();
}

void QtSessionEnd::cancel()
{
    m_manager.cancel();
}

} // namespace kelo
