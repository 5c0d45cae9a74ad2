#pragma once

// Lives while a printer exchange blocks the window on the event loop's
// thread. Clicks and key presses made meanwhile queue up behind it; were they
// delivered afterwards, a held Return or a double click would start the same
// exchange again and again on buttons that stay enabled. When it goes, it
// reads the queue and discards the input in it; painting and everything
// else in the queue (a close from the frame, a termination signal's notice)
// goes on as usual.
// While it lives, the wait cursor shows when asked for.
class BlockingExchange {
public:
    enum Cursor { WaitCursor, NoCursor };
    explicit BlockingExchange(Cursor cursor = WaitCursor);
    ~BlockingExchange();
    BlockingExchange(const BlockingExchange&) = delete;
    BlockingExchange& operator=(const BlockingExchange&) = delete;

private:
    bool m_waitCursor;
};

// Runs exchange() with the window blocked as above; what it returns.
template <typename Exchange>
auto RunBlocking(Exchange exchange, BlockingExchange::Cursor cursor = BlockingExchange::WaitCursor)
{
    const BlockingExchange blocked(cursor);
    return exchange();
}
