#pragma once

#include <cstdint>

#include "link/transaction.h"

namespace nereid::cli {

// Sends one command and ticks the transaction every 100 ms until it ends, as a sheet's timer
// would. Returns the TransactionResult (accepted, rejected or no response).
int RunSheetTransaction(link::CTransaction& transaction, std::uint8_t code,
                        const link::CommandRecord& record);

} // namespace nereid::cli
