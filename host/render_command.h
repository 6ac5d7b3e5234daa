// `vexlan-host render`: the plug-in's graph display drawn through its
// embedded-view request into the host's raster and written to a PNG, as a
// host that embeds the graph would show it.
#pragma once

#include "cli_options.h"
#include "shell/host_api.h"
#include "shell/vst2_abi.h"

namespace host {

constexpr int kRenderRepaintsPerSecond = 20;

// Paints the graph into `bitmap` through the embedded view (code 15), the
// mouse outside the surface. Returns the plug-in's answer (1 when painted).
intptr_t paintEmbeddedGraph(vexlan::AEffect* effect, vexlan::VizeBitmap* bitmap);

int runRenderCommand(const CommandLine& line);

}  // namespace host
