#pragma once

#include "audio/OfflineRenderer.h"
#include "rom/RomImage.h"
#include "tools/render/RenderOptions.h"

// --catalog DIR: renders every command and writes its catalogue into DIR. --check DIR:
// renders them again and names those that differ from DIR's catalogue. Each returns the
// exit status, having said on stderr in one line what went wrong.
int writeCatalogue(const RenderOptions& options, OfflineRenderer& renderer);
int checkCatalogue(const RenderOptions& options, OfflineRenderer& renderer, const RomImage& image);
