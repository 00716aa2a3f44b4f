#pragma once
// Platforms and connections that wrap another and pass every call on: the
// base of --trace and --record, which each look at some calls on the way.
// A call added to HidPlatform or HidConnection is passed on here once, so no
// wrapper silently drops it (a lost discardInput would let a late answer be
// read as the next command's).

#include <memory>

#include "device/hid_platform.h"

namespace talvo {

class PassingConnection : public HidConnection {
  public:
    explicit PassingConnection(std::unique_ptr<HidConnection> inner) : inner_(std::move(inner)) {}

    std::optional<HidAttributes> attributes() override { return inner_->attributes(); }
    std::optional<HidCaps> capabilities() override { return inner_->capabilities(); }
    std::optional<std::vector<uint8_t>> reportDescriptor() override {
        return inner_->reportDescriptor();
    }
    bool writeReport(std::span<const uint8_t> report) override {
        return inner_->writeReport(report);
    }
    WriteFailure lastWriteFailure() const override { return inner_->lastWriteFailure(); }
    int lastWriteError() const override { return inner_->lastWriteError(); }
    int discardInput() override { return inner_->discardInput(); }
    ReadOutcome readReport(std::span<uint8_t> buffer, std::chrono::milliseconds timeout) override {
        return inner_->readReport(buffer, timeout);
    }

  protected:
    HidConnection& inner() { return *inner_; }

  private:
    std::unique_ptr<HidConnection> inner_;
};

class PassingPlatform : public HidPlatform {
  public:
    explicit PassingPlatform(HidPlatform& inner) : inner_(inner) {}

    std::vector<std::string> enumerate() override { return inner_.enumerate(); }
    std::unique_ptr<HidConnection> open(const std::string& path) override {
        return inner_.open(path);
    }
    std::vector<HidInterfaceInfo> describe() override { return inner_.describe(); }
    OpenRefusal probeOpen(const std::string& path) override { return inner_.probeOpen(path); }
    LockAttempt lockInterface(const std::string& path) override {
        return inner_.lockInterface(path);
    }
    std::optional<LockHolder> lockHolder(const std::string& path) override {
        return inner_.lockHolder(path);
    }
    std::unique_ptr<HidMonitor> monitor() override { return inner_.monitor(); }

  protected:
    HidPlatform& inner() { return inner_; }

  private:
    HidPlatform& inner_;
};

}  // namespace talvo
