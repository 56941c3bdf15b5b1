// The end of the desktop session (logout, shut-down) as the window sees it:
// whether it may still ask the user, and a way to stop the session from
// ending. The real one wraps Qt's QSessionManager; tests answer for it.
#pragma once

class QSessionManager;

namespace kelo {

class SessionEnd {
public:
    virtual ~SessionEnd() = default;
    // Asks the desktop for leave to show a question; false when it gives none.
    virtual bool allowsInteraction() = 0;
    // The question is over.
    virtual void release() = 0;
    // The user went back: the session must not end.
    virtual void cancel() = 0;
};

class QtSessionEnd final : public SessionEnd {
public:
    explicit QtSessionEnd(QSessionManager &manager)
        : m_manager(manager)
    {}
    bool allowsInteraction() override;
    void release() override;
    void cancel() override;

private:
    QSessionManager &m_manager;
};

} // namespace kelo
