#pragma once

#include <string>
#include <vector>

struct sqlite3;

namespace twk::test {

// Records the text of every statement the process-wide connection runs while it lives.
class SqlTrace {
public:
    SqlTrace();
    ~SqlTrace();
    SqlTrace(const SqlTrace&) = delete;
    SqlTrace& operator=(const SqlTrace&) = delete;

    const std::vector<std::string>& statements() const { return statements_; }
    void Clear() { statements_.clear(); }

private:
    static int OnTrace(unsigned type, void* context, void* statement, void* text);

    sqlite3* db_;
    std::vector<std::string> statements_;
};

}  // namespace twk::test
