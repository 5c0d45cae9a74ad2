#pragma once

namespace kalo {

// A progress bar of range 0..100: the exchanges move it to a position or
// advance it by the current step size.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void SetPosition(int position) = 0;
    virtual void SetStep(int step) = 0;
    virtual void Step() = 0;
};

// A bar kept as numbers: the windows show it, kaloctl draws it, tests read it.
class ProgressState : public ProgressSink {
public:
    void SetPosition(int position) override { m_position = position < 0 ? 0 : position > 100 ? 100 : position; }
    void SetStep(int step) override { m_step = step; }
    // Like a native progress bar, a step past the end starts over from the beginning.
    void Step() override
    {
        m_position += m_step;
        if (m_position > 100)
            m_position -= 100;
    }
    int Position() const { return m_position; }
    int StepSize() const { return m_step; }

private:
    int m_position = 0;
    int m_step = 0;
};

} // namespace kalo
