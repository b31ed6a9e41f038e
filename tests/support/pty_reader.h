// Waits for the reader of a pseudo-terminal's slave side.
#pragma once

#include "platform/pseudo_terminal.h"

namespace nimbrel::test {

// After a write to the master of a terminal whose slave is held (holdSlave): waits until
// the bytes have reached the slave's queue (or half a second) and a reader has taken every
// one of them. False when that takes more than 10 s.
bool waitUntilTaken(const PseudoTerminal& pty);

}  // namespace nimbrel::test
