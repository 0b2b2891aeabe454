#pragma once

namespace varnel::test {

// The file descriptors this process holds open: a port that is not closed on some way out
// shows up here.
int OpenDescriptors();

}  // namespace varnel::test
