#!/usr/bin/env bash
# Compiles the help pages in resources/help/src into resources/help/ZephyrDeck.chm with
# chmcmd (Debian package fp-utils). The compiled file is committed; run this after editing.
set -euo pipefail
cd "$(dirname "$0")/../../resources/help"
chmcmd ZephyrDeck.hhp
