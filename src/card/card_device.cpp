#include "card/card_device.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "card/card_format.h"
#include "platform/log.h"

namespace tscard {

Words OpenedReadOnly(const std::string& card) { return Words(N_("%1: the card was opened read-only"), {card}); }
namespace {

const std::string kNoCard = "(no card)";

std::string Reason(const IoResult& result) {
    return result.error != 0 ? std::strerror(result.error) : "end of the card";
}

// Errors that mean "someone else holds the card" rather than "the card
// failed": worth one retry after the card's file systems are unmounted.
bool IsRefusal(int error) { return error == EACCES || error == EPERM || error == EBUSY; }

}  // namespace

CardDevice::CardDevice() : header_(kHeaderRegionBytes) {}

CardDevice::CardDevice(std::unique_ptr<CardBackend> backend)
    : backend_(std::move(backend)), header_(kHeaderRegionBytes) {
    const CardFigures figures = FiguresOfLength(backend_->Length());
    TotalSectors = figures.TotalSectors;
    CapacityMB = figures.CapacityMB;
    DataUnits = figures.DataUnits;
    FreeUnits = 0;
}

CardDevice::CardDevice(CardDevice&&) noexcept = default;
CardDevice& CardDevice::operator=(CardDevice&&) noexcept = default;
CardDevice::~CardDevice() = default;

const std::string& CardDevice::Path() const { return backend_ ? backend_->Path() : kNoCard; }

Status CardDevice::ReadFailure(std::uint64_t offset, std::size_t size, const IoResult& result) const {
    return Status::Fail(Path() + ": cannot read " + std::to_string(size) + " bytes at offset " +
                        std::to_string(offset) + ": " + Reason(result));
}

Status CardDevice::WriteFailure(std::uint64_t offset, std::size_t size, const IoResult& result) const {
    return Status::Fail(Path() + ": cannot write " + std::to_string(size) + " bytes at offset " +
                        std::to_string(offset) + ": " + Reason(result));
}

DirectoryState CardDevice::LoadDirectory(CardDirectory& directory, Status* read_status) {
    DirectoryLoaded = false;
    if (!backend_) {
        if (read_status) *read_status = Status::Fail(Words(kNoCardOpen));
        return DirectoryState::Unreadable;
    }
    const IoResult result = backend_->ReadAt(0, header_.data(), kHeaderRegionBytes);
    if (result.error != 0) {
        if (read_status) *read_status = ReadFailure(0, kHeaderRegionBytes, result);
        return DirectoryState::Unreadable;
    }
    if (result.bytes < kHeaderRegionBytes) {
        DebugLog("Seek Error (" + Path() + ": the header region is cut short)");
        // A card that ends inside the header region is too small, as
        // formatting says of it.
        const bool small = backend_->Length() < kHeaderRegionBytes;
        if (read_status)
            *read_status = small ? Status::Fail(TooSmallForLayout(Path(), backend_->Length()))
                                 : ReadFailure(0, kHeaderRegionBytes, result);
        return DirectoryState::Unreadable;
    }
    if (read_status) *read_status = Status::Ok();
    if (!IsInCardLayout(header_.data())) return DirectoryState::NotInLayout;
    FillDirectoryFromRegion(header_.data(), directory);
    UpdateFreeUnits(directory);
    DirectoryLoaded = true;
    return DirectoryState::Valid;
}

Status CardDevice::WriteDirectory(CardDirectory& directory) {
    StoreDirectoryIntoRegion(directory, header_.data());
    const Status status = WriteRaw(0, header_.data(), kHeaderRegionBytes);
    if (!status) {
        DebugLog("Read\\Write Error (" + status.message() + ")");
        return status;
    }
    ResetDirectory(directory);
    UpdateFreeUnits(directory);
    return Status::Ok();
}

void CardDevice::UpdateFreeUnits(const CardDirectory& directory) { FreeUnits = FreeUnitsOf(DataUnits, directory); }

IoResult CardDevice::RawWrite(std::uint64_t offset, const void* buffer, std::size_t size) {
    if (!backend_) return {0, ENODEV};
    IoResult result = backend_->WriteAt(offset, buffer, size);
    if (result.error != 0 && IsRefusal(result.error) && backend_->Writable()) {
        const Status reclaimed = backend_->Reclaim();
        if (!reclaimed) {
            DebugLog(reclaimed.message());
            return result;
        }
        result = backend_->WriteAt(offset, buffer, size);
    }
    return result;
}

Status CardDevice::WriteRaw(std::uint64_t offset, const void* buffer, std::size_t size) {
    const IoResult result = RawWrite(offset, buffer, size);
    if (result.error != 0 || result.bytes != size) return WriteFailure(offset, size, result);
    return Status::Ok();
}

Status CardDevice::ReadUnit(std::uint64_t unit, void* buffer) { return ReadUnits(unit, 1, buffer); }

Status CardDevice::WriteUnit(std::uint64_t unit, const void* buffer) { return WriteUnits(unit, 1, buffer); }

Status CardDevice::ReadUnits(std::uint64_t first_unit, std::size_t count, void* buffer, std::size_t* units_done) {
    if (units_done) *units_done = 0;
    if (!backend_) return Status::Fail(Words(kNoCardOpen));
    const std::uint64_t offset = UnitOffset(first_unit);
    const std::size_t size = count * kUnitSize;
    const IoResult result = backend_->ReadAt(offset, buffer, size);
    if (units_done) *units_done = result.bytes / kUnitSize;
    if (result.error != 0 || result.bytes != size) {
        DebugLog("Seek Error (" + Path() + ": unit " + std::to_string(first_unit + result.bytes / kUnitSize) + ")");
        return ReadFailure(offset, size, result);
    }
    return Status::Ok();
}

Status CardDevice::WriteUnits(std::uint64_t first_unit, std::size_t count, const void* buffer,
                              std::size_t* units_done) {
    if (units_done) *units_done = 0;
    const std::uint64_t offset = UnitOffset(first_unit);
    const std::size_t size = count * kUnitSize;
    const IoResult result = RawWrite(offset, buffer, size);
    if (units_done) *units_done = result.bytes / kUnitSize;
    if (result.error != 0 || result.bytes != size) {
        DebugLog("Read\\Write Error (" + Path() + ": unit " + std::to_string(first_unit + result.bytes / kUnitSize) +
                 ")");
        return WriteFailure(offset, size, result);
    }
    return Status::Ok();
}

Status CardDevice::Flush() {
    if (!backend_) return Status::Fail(Words(kNoCardOpen));
    return backend_->Flush();
}

Status CardDevice::CheckPresent() {
    if (!backend_) return Status::Fail(Words(kNoCardOpen));
    return backend_->CheckPresent();
}

}  // namespace tscard
