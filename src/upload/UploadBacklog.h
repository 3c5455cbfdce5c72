#pragma once

#include <QString>

namespace vigilux::upload {

// What the FTP settings window shows of the upload queue that the main
// window runs, without knowing that queue.
class UploadBacklog {
public:
    virtual ~UploadBacklog() = default;

    // Files saved for upload that have not arrived yet.
    virtual int waitingCount() const = 0;
    // The text of the last failed upload; empty when none failed.
    virtual QString lastError() const = 0;
};

} // namespace vigilux::upload
