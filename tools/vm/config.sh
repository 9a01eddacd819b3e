# Sourced by the guest's tools: what the guest is made of and where it lives.
kw_vm_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
kw_vm_root=$(cd "$kw_vm_here/../.." && pwd)
kw_vm_packages=(
  linux-image-amd64 initramfs-tools kmod udev
  wine wine64 wine32:i386 libwine:i386
  xvfb xauth xdotool x11-utils imagemagick xclip fonts-wqy-microhei
  python3 procps psmisc util-linux coreutils iproute2
)
# The image is named by what it is built from.
kw_vm_image_key=$( { printf '%s\n' "${kw_vm_packages[@]}"; cat "$kw_vm_here/image" "$kw_vm_here/init-stub"; } \
  | sha256sum | cut -c1-16)
kw_vm_image="$kw_vm_root/.deps/vm/image-$kw_vm_image_key"
kw_vm_run="$kw_vm_root/.deps/vm/run"
# KVM when this machine offers it (KW_WINE_VM_ACCEL=tcg forces software
# emulation, the only choice where there is no /dev/kvm).
kw_vm_accel() {
  [ -e "$kw_vm_root/.deps/vm/kvm-unusable" ] && { echo tcg; return; }
  if [ "${KW_WINE_VM_ACCEL:-}" != tcg ] && [ -r /dev/kvm ] && [ -w /dev/kvm ]; then echo kvm; else echo tcg; fi
}
kw_vm_memory_mib=${KW_WINE_VM_MEMORY_MIB:-6144}
