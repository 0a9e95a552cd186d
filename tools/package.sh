#!/usr/bin/env bash
# Makes a release: builds both widths and writes to build/package/
#   Workbench-<version>-x64.msi   for 64-bit Windows: both DLLs, each
#                                 registered in its own registry view
#   Workbench-<version>-x86.msi   for 32-bit Windows: the 32-bit DLL
#   Workbench-<version>-sdk.zip   what dist/ holds for host developers
#   symbols/<arch>/Workbench.pdb  each DLL's public symbols, matched to it by
#                                 the DLL's debug directory (not packaged)
#   SHA256SUMS
# and prints one line per artefact with its size (and for a package its
# ProductCode and UpgradeCode, what deployment tools detect it by).
# <version> is the type library's major.minor (entry/Workbench.idl) and the
# patch number (a new one for every release: the ProductCode is new for every
# build, and a package of the same version does not replace an installed one).
#
#   bash tools/package.sh [--patch N] [--out DIR]
#
# Signing (SHA-256, Authenticode): both DLLs before they are packaged, then
# both packages. Give the certificate and key as PEM files, or one PKCS#12
# file, in the environment; without them the release is unsigned and the
# command says so in one line.
#   WB_SIGN_CERT=cert.pem WB_SIGN_KEY=key.pem     PEM certificate (chain) and key
#   WB_SIGN_PKCS12=release.pfx                    or a PKCS#12 file
#   WB_SIGN_PASSWORD=...                          the key's password, if any
#   WB_SIGN_TIMESTAMP=http://timestamp.example/   an RFC 3161 time-stamp server
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD

patch=0
out=$root/build/package
while (($#)); do
  case $1 in
    --patch)
      [[ ${2-} =~ ^[0-9]+$ && ${2} -le 65535 ]] || { echo "package: --patch takes 0 to 65535" >&2; exit 2; }
      patch=$((10#$2))
      shift 2 ;;
    --out) out=$(readlink -m -- "${2:?package: --out takes a folder}"); shift 2 ;;
    -h | --help) sed -n '2,25p' "$0"; exit 0 ;;
    *) echo "package: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done

die() { echo "package: $*" >&2; exit 1; }

bash tools/setup.sh >/dev/null
for preset in win32 win64; do
  [[ -f build/$preset/build.ninja ]] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2 >/dev/null || die "the $preset build failed"
done

major=$(sed -n 's/^#define WORKBENCH_VERSION_MAJOR \([0-9]*\)$/\1/p' entry/Workbench.idl)
minor=$(sed -n 's/^#define WORKBENCH_VERSION_MINOR \([0-9]*\)$/\1/p' entry/Workbench.idl)
[[ -n $major && -n $minor ]] || die "no version in entry/Workbench.idl"
version=$major.$minor.$patch

# sign FILE: signs FILE in place, when a certificate was given.
signing=()
if [[ -n ${WB_SIGN_PKCS12-} ]]; then
  signing=(-pkcs12 "$WB_SIGN_PKCS12")
elif [[ -n ${WB_SIGN_CERT-} || -n ${WB_SIGN_KEY-} ]]; then
  [[ -n ${WB_SIGN_CERT-} && -n ${WB_SIGN_KEY-} ]] || die "WB_SIGN_CERT and WB_SIGN_KEY go together"
  signing=(-certs "$WB_SIGN_CERT" -key "$WB_SIGN_KEY")
fi
if ((${#signing[@]})); then
  [[ -n ${WB_SIGN_PASSWORD-} ]] && signing+=(-pass "$WB_SIGN_PASSWORD")
  [[ -n ${WB_SIGN_TIMESTAMP-} ]] && signing+=(-ts "$WB_SIGN_TIMESTAMP")
  signing+=(-h sha256 -n Workbench)
else
  echo "package: no certificate given (WB_SIGN_CERT and WB_SIGN_KEY, or WB_SIGN_PKCS12): the release is unsigned"
fi
sign() {
  ((${#signing[@]})) || return 0
  osslsigncode sign "${signing[@]}" -in "$1" -out "$1.signed" >"$1.sign.log" 2>&1 ||
    { cat "$1.sign.log" >&2; die "signing $1 failed"; }
  mv -- "$1.signed" "$1"
  rm -f -- "$1.sign.log"
}

rm -rf -- "$out"
stage=$out/stage
mkdir -p "$stage" "$out/symbols"
for arch in win32 win64; do
  mkdir -p "$stage/$arch" "$out/symbols/$arch"
  cp -- "dist/$arch/Workbench.dll" "$stage/$arch/"
  sign "$stage/$arch/Workbench.dll"
  cp -- "build/$arch/entry/package/registry_each.wxi" "$stage/registry_each_$arch.wxi"
  cp -- "build/$arch/entry/package/registry_both.wxi" "$stage/registry_both_$arch.wxi"
  # The symbols must be the ones that the DLL's debug directory names.
  pdb=build/$arch/entry/Workbench.pdb
  want=$(x86_64-w64-mingw32-objdump -p "dist/$arch/Workbench.dll" |
    sed -n 's/.*(format RSDS signature \([0-9a-f]*\) age \([0-9]*\).*/\1 \2/p')
  got=$(llvm-pdbutil dump -summary "$pdb" | tr -d '{}-' |
    awk '/^ *GUID:/ { g = tolower($2) } /^ *Age:/ { a = $2 } END { print g, a }')
  [[ -n $want ]] || die "dist/$arch/Workbench.dll has no debug directory"
  [[ $want == "$got" ]] || die "$pdb does not match dist/$arch/Workbench.dll ($want / $got)"
  cp -- "$pdb" "$out/symbols/$arch/"
done

# wixl: any warning fails the release, for it drops what it does not know.
for arch in x64 x86; do
  msi=$out/Workbench-$version-$arch.msi
  (cd "$stage" && wixl -a "$arch" -D Arch="$arch" -D Version="$version" \
    -o "$msi" "$root/entry/Workbench.wxs") >"$stage/wixl-$arch.log" 2>&1 ||
    { cat "$stage/wixl-$arch.log" >&2; die "wixl failed for $arch"; }
  if [[ -s $stage/wixl-$arch.log ]]; then
    cat "$stage/wixl-$arch.log" >&2
    die "wixl warned for $arch"
  fi
  sign "$msi"
done

# The host developers' kit: dist/ with the DLLs as released.
sdk=$stage/sdk/Workbench-$version-sdk
mkdir -p "$sdk"
cp -r dist/include dist/win32 dist/win64 "$sdk/"
cp -- "$stage/win32/Workbench.dll" "$sdk/win32/"
cp -- "$stage/win64/Workbench.dll" "$sdk/win64/"
(cd "$stage/sdk" && zip -qr -X "$out/Workbench-$version-sdk.zip" "Workbench-$version-sdk")

rm -rf -- "$stage"
cd "$out"
artefacts=("Workbench-$version-x64.msi" "Workbench-$version-x86.msi" "Workbench-$version-sdk.zip"
  symbols/win32/Workbench.pdb symbols/win64/Workbench.pdb)
sha256sum -- "${artefacts[@]}" >SHA256SUMS
# property MSI NAME: a value of the package's Property table.
property() { msiinfo export "$1" Property | tr -d '\r' | awk -v name="$2" '$1 == name { print $2 }'; }
for file in "${artefacts[@]}" SHA256SUMS; do
  printf '%-32s %9d bytes' "$file" "$(stat -c %s -- "$file")"
  # What IT's deployment tools detect the product by.
  [[ $file == *.msi ]] && printf '  ProductCode %s  UpgradeCode %s' \
    "$(property "$file" ProductCode)" "$(property "$file" UpgradeCode)"
  printf '\n'
done
