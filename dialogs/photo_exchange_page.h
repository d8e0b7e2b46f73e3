#pragma once
// The model page's hand-back beside a picture editor: the 3D view's picture
// and the head's feature points it shows go to the exchange
// (dialogs/photo_exchange.h).

#include "dialogs/photo_exchange.h"

class CFaceDoc;

// Makes the 3D view the active view, renders it, projects the head's
// feature points it shows and hands the picture back. False, the error
// shown, when nothing could be rendered or the picture could not be put or
// written: the caller keeps its page open.
bool BackPhsh(CFaceDoc& doc, ExchangeResult* result = nullptr);
