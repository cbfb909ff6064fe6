#pragma once
// Edit > Paste: files copied in a file manager are added to the list; text is ignored.
class QMimeData;

namespace reelsmith {

class Tfrm_Main;

// Pastes from the system clipboard.
void btn_PasteClick(Tfrm_Main& main);
// Fills the pending-paths list from the data's local file URLs, in their order, and calls
// AddFiles only when there was at least one.
void PasteFrom(Tfrm_Main& main, const QMimeData* data);

}  // namespace reelsmith
