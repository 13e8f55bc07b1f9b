// In-memory byte stores for tests and fuzzing: a plain one, and one that stops accepting writes
// after a set number, the way a killed process would leave its file.
#pragma once

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
        if (writesLeft_ == 0) return refused_ = true, false;
        if (writesLeft_ > 0) --writesLeft_;
        if (off + n > bytes_->size()) bytes_->resize(off + n);
        std::memcpy(bytes_->data() + off, buf, n);
        return true;
    }
    // Everything written before the stop is durable; a sync fails once a write was refused.
    bool Sync() override { return !refused_; }
    uint64_t Size() override { return bytes_->size(); }
    // After this many further writes every write (and sync) fails; -1 for never.
    void StopAfter(long writes) { writesLeft_ = writes; }

  private:
    std::shared_ptr<Bytes> bytes_;
    long writesLeft_ = -1;
    bool refused_ = false;
};

}  // namespace pst
