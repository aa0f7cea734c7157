#pragma once

// The nestable busy cursor of the page owners: the first Begin shows the wait cursor over
// the whole application, the matching last End puts back the cursor that was there.
class CBusyCursor
{
public:
    CBusyCursor() = default;
    ~CBusyCursor();
    CBusyCursor(const CBusyCursor&) = delete;
    CBusyCursor& operator=(const CBusyCursor&) = delete;

    void Begin();
    // An End without its Begin changes nothing.
    void End();

    int GetDepth() const { return m_depth; }

private:
    int m_depth = 0;
};
