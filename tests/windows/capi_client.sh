#!/usr/bin/env bash
# The C interface reached by name under Wine: capi_client (CLIENT) loads the module (MODULE),
# writes a symbol file (PNG) through it, and zbar reads the symbol back on the Linux side.
# Wine runs in the prefix the test environment names (WINEPREFIX).
set -euo pipefail
client=$1 module=$2 png=$3
rm -f "$png"
wine "$client" "Z:$module" "Z:$png"
text=$(zbarimg --raw -q -Sbinary "$png") || { echo "zbar cannot read $png"; exit 1; }
expected=$(printf 'Glyphwell C on Windows: Gr\303\274\303\237e #')
[ "$text" = "$expected" ] || { echo "zbar read '$text' from $png"; exit 1; }
