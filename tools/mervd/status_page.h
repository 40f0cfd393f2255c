#pragma once
// The status page (GET /): every line with its state, queue and last
// outcomes, refreshed every second, and a button per line that runs its
// diagnosis. Plain HTML and a little script; the page holds no data itself
// and asks the API with the token given after "#token=" in its address (or
// typed into its field), kept for the browser tab only.
#include <string>

const std::string& StatusPageHtml();
