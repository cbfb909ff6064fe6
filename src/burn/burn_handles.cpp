#include "burn/burn_handles.h"

#include <stdint.h>  // libisofs.h needs the fixed-width types first

#include <libburn/libburn.h>
#include <libisofs/libisofs.h>

namespace reelsmith {

void TBurnDiscDeleter::operator()(burn::burn_disc* disc) const { burn::burn_disc_free(disc); }
void TBurnSessionDeleter::operator()(burn::burn_session* session) const { burn::burn_session_free(session); }
void TBurnTrackDeleter::operator()(burn::burn_track* track) const { burn::burn_track_free(track); }
void TBurnWriteOptsDeleter::operator()(burn::burn_write_opts* opts) const { burn::burn_write_opts_free(opts); }
void TBurnDriveListDeleter::operator()(burn::burn_drive_info* drives) const { burn::burn_drive_info_free(drives); }

void TBurnSpeedListDeleter::operator()(burn::burn_speed_descriptor* list) const
{
    burn::burn_drive_free_speedlist(&list);
}

void TImageStreamDeleter::operator()(::burn_source* stream) const { burn::burn_source_free(AsBurn(stream)); }
void TIsoImageDeleter::operator()(Iso_Image* image) const { iso_image_unref(image); }
void TIsoWriteOptsDeleter::operator()(iso_write_opts* opts) const { iso_write_opts_free(opts); }

burn::burn_source* AsBurn(::burn_source* stream) { return reinterpret_cast<burn::burn_source*>(stream); }

}  // namespace reelsmith
