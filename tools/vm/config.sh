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
