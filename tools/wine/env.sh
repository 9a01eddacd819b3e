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
# Where this machine cannot execute 32-bit x86 code (setup found so), or with
# KW_WINE_VM=1, Wine and the X tools run in the project's guest
# (tools/vm): the commands of that name in tools/vm/bin forward there.
kw_wine_vm=${KW_WINE_VM:-}
if [ -z "$kw_wine_vm" ] && [ -e "$kw_root/.deps/vm/no-i386" ]; then kw_wine_vm=1; fi
if [ -n "${KW_IN_GUEST:-}" ]; then kw_wine_vm=0; fi
if [ "$kw_wine_vm" = 1 ]; then
  export KW_WINE_VM=1
  case ":$PATH:" in *":$kw_root/tools/vm/bin:"*) ;; *) export PATH="$kw_root/tools/vm/bin:$PATH" ;; esac
fi
