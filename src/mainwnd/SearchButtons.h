#pragma once

class SkinButton;

// Shows the search state on the Search and Stop buttons: the button of the
// current state wears its active look and takes no mouse input (it cannot
// be pressed twice), the other its idle look and takes mouse input. Each
// look names only some attributes; the others keep what the skin or an
// earlier look gave them. False, with nothing changed, when the current
// state's button is null; a null other button is skipped.
bool ShowSearchState(bool searching, SkinButton* search, SkinButton* stop);
