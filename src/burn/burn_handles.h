#pragma once
// Owning handles for libburn and libisofs objects: each is freed once, by its library's own
// call, on every path. A grabbed drive is the exception: its recorder releases it, since only
// the recorder knows whether to eject.
#include <memory>

namespace burn {  // libburn declares its C API in this namespace for C++
struct burn_disc;
struct burn_session;
struct burn_track;
struct burn_write_opts;
struct burn_drive_info;
struct burn_speed_descriptor;
struct burn_source;
}  // namespace burn
struct burn_source;  // the image stream, as libisofs declares it
struct Iso_Image;
struct iso_write_opts;

namespace reelsmith {

struct TBurnDiscDeleter {
    void operator()(burn::burn_disc* disc) const;
};
struct TBurnSessionDeleter {
    void operator()(burn::burn_session* session) const;
};
struct TBurnTrackDeleter {
    void operator()(burn::burn_track* track) const;
};
struct TBurnWriteOptsDeleter {
    void operator()(burn::burn_write_opts* opts) const;
};
// The array of drives that a scan found.
struct TBurnDriveListDeleter {
    void operator()(burn::burn_drive_info* drives) const;
};
struct TBurnSpeedListDeleter {
    void operator()(burn::burn_speed_descriptor* list) const;
};
// An image stream made by libisofs, freed through libburn's call as both libraries expect.
struct TImageStreamDeleter {
    void operator()(::burn_source* stream) const;
};
struct TIsoImageDeleter {
    void operator()(Iso_Image* image) const;
};
struct TIsoWriteOptsDeleter {
    void operator()(iso_write_opts* opts) const;
};

using TBurnDiscPtr = std::unique_ptr<burn::burn_disc, TBurnDiscDeleter>;
using TBurnSessionPtr = std::unique_ptr<burn::burn_session, TBurnSessionDeleter>;
using TBurnTrackPtr = std::unique_ptr<burn::burn_track, TBurnTrackDeleter>;
using TBurnWriteOptsPtr = std::unique_ptr<burn::burn_write_opts, TBurnWriteOptsDeleter>;
using TBurnDriveListPtr = std::unique_ptr<burn::burn_drive_info, TBurnDriveListDeleter>;
using TBurnSpeedListPtr = std::unique_ptr<burn::burn_speed_descriptor, TBurnSpeedListDeleter>;
using TImageStreamPtr = std::unique_ptr<::burn_source, TImageStreamDeleter>;
using TIsoImagePtr = std::unique_ptr<Iso_Image, TIsoImageDeleter>;
using TIsoWriteOptsPtr = std::unique_ptr<iso_write_opts, TIsoWriteOptsDeleter>;

// libisofs and libburn declare the same C stream record, each in its own scope.
burn::burn_source* AsBurn(::burn_source* stream);

}  // namespace reelsmith
