# Sourced by the Wine helpers: one project-local prefix per architecture.
# KW_WINE_ARCH=win32 selects the 32-bit prefix (the paths of 32-bit Windows);
# the default is the 64-bit prefix, where our 32-bit program runs under WoW64.
kw_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
kw_arch=${KW_WINE_ARCH:-win64}
export WINEPREFIX="${KW_WINE_PREFIX_ROOT:-$kw_root/.deps/wine}/$kw_arch"
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers, and no menu builder (shortcuts saved in the
# prefix would otherwise become desktop entries of the Unix user); callers may
# add their own overrides after ours.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
