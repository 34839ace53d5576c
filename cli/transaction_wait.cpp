#include "cli/transaction_wait.h"

#include <chrono>
#include <thread>

namespace nereid::cli {

int RunSheetTransaction(link::CTransaction& transaction, std::uint8_t code,
                        const link::CommandRecord& record) {
    transaction.Send(code, record, link::kSheetPolls);
    int result = link::kTransactionWaiting;
    auto next = std::chrono::steady_clock::now();
    while (result == link::kTransactionWaiting) {
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
        result = transaction.Tick();
    }
    return result;
}

} // namespace nereid::cli
