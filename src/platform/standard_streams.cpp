#include "platform/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tscard {

bool KeepStandardStreamsOpen() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free number is taken: this one, since those before it
        // are open by now.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened < 0) return false;
        if (opened != fd) {
            ::close(opened);
            return false;
        }
    }
    return true;
}

}  // namespace tscard
