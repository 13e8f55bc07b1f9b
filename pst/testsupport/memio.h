// In-memory byte stores for tests and fuzzing: a plain one, and one that stops accepting writes
// after a set number, the way a killed process would leave its file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "pst/ndb.h"

namespace pst {

class MemoryIo : public FileIo {
  public:
    explicit MemoryIo(std::shared_ptr<Bytes> bytes) : bytes_(std::move(bytes)) {}
    bool Read(uint64_t off, void* buf, size_t n) override {
        if (off > bytes_->size() || n > bytes_->size() - off) return false;
        std::memcpy(buf, bytes_->data() + off, n);
        return true;
    }
    bool Write(uint64_t off, const void* buf, size_t n) override {
        // A large write reaches the disk in pieces; a crash can land between any two.
        const auto* p = static_cast<const uint8_t*>(buf);
        for (size_t done = 0; done < n || n == 0;) {
            size_t len = std::min(n - done, piece_);
            if (writesLeft_ == 0) return refused_ = true, false;
            if (writesLeft_ > 0) --writesLeft_;
            if (off + done + len > bytes_->size()) bytes_->resize(off + done + len);
            if (len) std::memcpy(bytes_->data() + off + done, p + done, len);
            done += len;
            if (n == 0) break;
        }
        return true;
    }
    // Everything written before the stop is durable; a sync fails once a write was refused.
    bool Sync() override { return !refused_; }
    uint64_t Size() override { return bytes_->size(); }
    // After this many further writes every write (and sync) fails; -1 for never.
    void StopAfter(long writes) { writesLeft_ = writes; }
    // Counts every `bytes` of a write as a write of its own (a torn write when stopped inside).
    void SplitWritesAt(size_t bytes) { piece_ = bytes ? bytes : SIZE_MAX; }

  private:
    std::shared_ptr<Bytes> bytes_;
    long writesLeft_ = -1;
    size_t piece_ = SIZE_MAX;
    bool refused_ = false;
};

}  // namespace pst
