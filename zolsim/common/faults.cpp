// Fault injection: sim::Fail arms a fault for an operation ("Class::Op"); the operation's next
// calls throw it instead of running, as many times as it was armed for.
#include <algorithm>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include <zol/sim.h>

#include "common/core.h"

namespace zolsim {

namespace {
struct Fault {
    int status;
    bool has_function, has_file;
    std::string function, file;
    int line;
    int count;
};
std::mutex g_fault_mutex;
std::unordered_map<std::string, Fault>& faults() {
    // Never destroyed (see core.h).
    static auto* table = new std::unordered_map<std::string, Fault>;
    return *table;
}
} // namespace

// The library's named operations, sorted (written from the headers by operations.py).
extern const char* const kOperations[];
extern const std::size_t kOperationCount;

namespace {
bool has_operation(const std::string& op) {
    return std::binary_search(kOperations, kOperations + kOperationCount, op,
                              [](const std::string& a, const std::string& b) { return a < b; });
}

// Why `op` names no operation: its class's operations, when the class exists.
std::string no_operation(const std::string& op) {
    std::string why = "no operation '" + op + "' in the simulated library";
    std::string cls = op.substr(0, op.rfind("::")) + "::";
    std::string known;
    for (std::size_t i = 0; i < kOperationCount; ++i)
        if (std::string(kOperations[i]).rfind(cls, 0) == 0)
            known += (known.empty() ? "" : ", ") + std::string(kOperations[i] + cls.size());
    if (op.find("::") == std::string::npos)
        return why + " (operations are named 'Class::Operation', as in 'CxMB100::Open')";
    if (known.empty())
        return why + " (no object of it is a " + cls.substr(0, cls.size() - 2) + ")";
    return why + " (" + cls.substr(0, cls.size() - 2) + " has " + known + ")";
}
} // namespace

std::atomic<int> g_faults_armed{0};

void check_fault(const char* class_name, const char* op) {
    std::string key = std::string(class_name) + "::" + op;
    std::unique_lock<std::mutex> lock(g_fault_mutex);
    auto it = faults().find(key);
    if (it == faults().end())
        return;
    Fault f = it->second;
    if (--it->second.count <= 0) {
        faults().erase(it);
        g_faults_armed.fetch_sub(1);
    }
    lock.unlock();
    zol::CxException e(static_cast<zol::ExStatus>(f.status),
                       f.has_function ? f.function.c_str() : nullptr,
                       f.has_file ? f.file.c_str() : nullptr, f.line);
    e.Describe("injected fault in " + key);
    throw e;
}

} // namespace zolsim

// ---- control surface: faults --------------------------------------------------------------------

namespace zol {
namespace sim {

void Fail(const std::string& op, int status, const char* function, const char* file, int line,
          int count) {
    // A fault that could never fire is refused: the test that armed it would pass for nothing.
    if (!zolsim::has_operation(op))
        throw std::invalid_argument(zolsim::no_operation(op));
    if (count < 1)
        throw std::invalid_argument("count must be at least 1, got " + std::to_string(count));
    std::lock_guard<std::mutex> lock(zolsim::g_fault_mutex);
    zolsim::Fault f{status,         function != nullptr, file != nullptr, function ? function : "",
                    file ? file : "", line,              count};
    if (zolsim::faults().insert_or_assign(op, f).second)
        zolsim::g_faults_armed.fetch_add(1);
}

void ClearFaults() {
    std::lock_guard<std::mutex> lock(zolsim::g_fault_mutex);
    zolsim::faults().clear();
    zolsim::g_faults_armed.store(0);
}

std::vector<std::string> Operations() {
    return {zolsim::kOperations, zolsim::kOperations + zolsim::kOperationCount};
}

int PendingFaults(const std::string& op) {
    std::lock_guard<std::mutex> lock(zolsim::g_fault_mutex);
    auto it = zolsim::faults().find(op);
    return it == zolsim::faults().end() ? 0 : it->second.count;
}

} // namespace sim
} // namespace zol
