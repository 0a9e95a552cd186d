#!/usr/bin/env bash
# Makes a release: builds both widths at the release's version and writes to
# build/package/
#   Workbench-<version>-x64.msi       for 64-bit Windows: both DLLs, each
#                                     registered in its own registry view
#   Workbench-<version>-x86.msi       for 32-bit Windows: the 32-bit DLL
#   Workbench-<version>-sdk.zip       for host developers: the header, both
#                                     DLLs, type libraries and manifests
#   Workbench-<version>-testkit.zip   for testers: the reference suite, which
#                                     stands in for the store suite
#   Workbench-<version>-admx.zip      for store IT: the trace's administrative
#                                     template, as a PolicyDefinitions folder
#   symbols/<arch>/Workbench.pdb      each DLL's public symbols, matched to it
#                                     by the DLL's debug directory (kept by
#                                     support, not shipped)
#   SHA256SUMS
# and prints one line per artefact with its size (and for a package its
# ProductCode and UpgradeCode, what deployment tools detect it by).
#
# <version> is the type library's major.minor (entry/Workbench.idl) and the
# patch number. The DLLs are built for it in build/release/ (a developer's
# build in build/win32 and build/win64 stays at patch 0), so that every file
# says which release it is. The build is reproducible: with the commit's time
# as SOURCE_DATE_EPOCH, two builds of one commit give the same DLLs, symbols,
# zips and packages, but for their signatures; the ProductCode and
# PackageCode are made from the version, the width and the commit.
#
#   bash tools/package.sh [--patch N] [--out DIR] [--unsigned]
#
# Signing (SHA-256, Authenticode) is required: the DLLs before they are
# packaged, then the packages. Give the certificate and key as PEM files, or
# one PKCS#12 file, in the environment:
#   WB_SIGN_CERT=cert.pem WB_SIGN_KEY=key.pem     PEM certificate (chain) and key
#   WB_SIGN_PKCS12=release.pfx                    or a PKCS#12 file
#   WB_SIGN_PASSWORD=...                          the key's password, if any
#                                                 (handed to the signer through
#                                                 a pipe, never a command line)
#   WB_SIGN_TIMESTAMP=http://timestamp.example/   an RFC 3161 time-stamp server,
#                                                 so that the signatures outlive
#                                                 the certificate
# --unsigned makes a release without signatures, for tests: every artefact
# that would be signed says "unsigned" in its name, and so does SHA256SUMS.
#
# In an exported tree without git, give WB_RELEASE_COMMIT (what the codes are
# made from) and SOURCE_DATE_EPOCH.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD

patch=0
out=$root/build/package
unsigned=0
while (($#)); do
  case $1 in
    --patch)
      [[ ${2-} =~ ^[0-9]+$ && ${#2} -le 5 && $((10#$2)) -le 65535 ]] ||
        { echo "package: --patch takes 0 to 65535" >&2; exit 2; }
      patch=$((10#$2))
      shift 2 ;;
    --out) out=$(readlink -m -- "${2:?package: --out takes a folder}"); shift 2 ;;
    --unsigned) unsigned=1; shift ;;
    -h | --help) sed -n '2,/^set -euo/{/^set/d;p}' "$0"; exit 0 ;;
    *) echo "package: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done

die() { echo "package: $*" >&2; exit 1; }
warnings=()

case $out in
  / | "$root" | "$HOME" | "$root/build") die "--out $out would remove what is there; name a folder of its own" ;;
esac

# ---- What is released -------------------------------------------------------
major=$(sed -n 's/^#define WORKBENCH_VERSION_MAJOR \([0-9]*\)$/\1/p' entry/Workbench.idl)
minor=$(sed -n 's/^#define WORKBENCH_VERSION_MINOR \([0-9]*\)$/\1/p' entry/Workbench.idl)
[[ -n $major && -n $minor ]] || die "no version in entry/Workbench.idl"
version=$major.$minor.$patch

if [[ -n ${WB_RELEASE_COMMIT-} ]]; then
  commit=$WB_RELEASE_COMMIT
elif commit=$(git rev-parse HEAD 2>/dev/null); then
  # Uncommitted changes make another release of the same commit: the codes
  # take a digest of them.
  if [[ -n $(git status --porcelain --untracked-files=no) ]]; then
    commit+="+$(git diff HEAD --binary | sha256sum | cut -c 1-12)"
    warnings+=("built from a tree with uncommitted changes ($commit): release from a commit")
  fi
else
  die "no git here: give WB_RELEASE_COMMIT and SOURCE_DATE_EPOCH"
fi
if [[ -z ${SOURCE_DATE_EPOCH-} ]]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || die "no commit time: give SOURCE_DATE_EPOCH"
fi
[[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || die "SOURCE_DATE_EPOCH is no number of seconds: $SOURCE_DATE_EPOCH"
export SOURCE_DATE_EPOCH

# guid NAME: a GUID made from NAME, the version and the commit (a name-based
# UUID, version 5 in form): one commit gives one ProductCode per width.
guid() {
  local h
  h=$(printf 'Workbench release|%s|%s|%s' "$1" "$version" "$commit" | sha1sum | tr a-f A-F)
  printf '%s-%s-5%s-%X%s-%s' "${h:0:8}" "${h:8:4}" "${h:13:3}" \
    $(((16#${h:16:1} & 3) | 8)) "${h:17:3}" "${h:20:12}"
}
# at_source_date COMMAND...: with the clock stopped at the commit's time.
at_source_date() { "$root/cmake/at_source_date.sh" "$SOURCE_DATE_EPOCH" "$@"; }

# ---- Signing ----------------------------------------------------------------
signing=()
if [[ -n ${WB_SIGN_PKCS12-} ]]; then
  signing=(-pkcs12 "$WB_SIGN_PKCS12")
elif [[ -n ${WB_SIGN_CERT-} || -n ${WB_SIGN_KEY-} ]]; then
  [[ -n ${WB_SIGN_CERT-} && -n ${WB_SIGN_KEY-} ]] || die "WB_SIGN_CERT and WB_SIGN_KEY go together"
  signing=(-certs "$WB_SIGN_CERT" -key "$WB_SIGN_KEY")
fi
suffix=
if ((unsigned)); then
  ((${#signing[@]} == 0)) || die "--unsigned, yet a certificate is given: choose one"
  suffix=-unsigned
elif ((${#signing[@]} == 0)); then
  die "no certificate (WB_SIGN_CERT and WB_SIGN_KEY, or WB_SIGN_PKCS12): a release is signed; --unsigned makes one for tests"
else
  [[ -n ${WB_SIGN_PASSWORD-} ]] && signing+=(-readpass -)
  if [[ -n ${WB_SIGN_TIMESTAMP-} ]]; then
    signing+=(-ts "$WB_SIGN_TIMESTAMP")
  else
    warnings+=("no time-stamp server (WB_SIGN_TIMESTAMP): the signatures stop validating when the certificate expires")
  fi
  signing+=(-h sha256 -n Workbench)
fi
# sign FILE: signs FILE in place (nothing in an unsigned release). The
# password goes through a pipe from a builtin: no command line holds it.
sign() {
  ((${#signing[@]})) || return 0
  printf '%s' "${WB_SIGN_PASSWORD-}" |
    osslsigncode sign "${signing[@]}" -in "$1" -out "$1.signed" >"$1.sign.log" 2>&1 ||
    { cat "$1.sign.log" >&2; die "signing $1 failed"; }
  mv -- "$1.signed" "$1"
  rm -f -- "$1.sign.log"
}

# ---- Build ------------------------------------------------------------------
bash tools/setup.sh >/dev/null
built=$(bash tools/release/build.sh "$patch" "$SOURCE_DATE_EPOCH") || die "the release build failed"
[[ -n $built ]] && warnings+=("${built#package: warning: }")
dist=$root/build/release/dist

rm -rf -- "$out"
stage=$out/stage
mkdir -p "$stage" "$out/symbols"
for arch in win32 win64; do
  mkdir -p "$stage/$arch" "$out/symbols/$arch"
  cp -- "$dist/$arch/Workbench.dll" "$dist/$arch/RefSuite.dll" "$stage/$arch/"
  sign "$stage/$arch/Workbench.dll"
  sign "$stage/$arch/RefSuite.dll"
  cp -- "build/release/$arch/entry/package/registry_each.wxi" "$stage/registry_each_$arch.wxi"
  cp -- "build/release/$arch/entry/package/registry_both.wxi" "$stage/registry_both_$arch.wxi"
  # The symbols must be the ones that the DLL's debug directory names.
  pdb=build/release/$arch/entry/Workbench.pdb
  want=$(x86_64-w64-mingw32-objdump -p "$dist/$arch/Workbench.dll" |
    sed -n 's/.*(format RSDS signature \([0-9a-f]*\) age \([0-9]*\).*/\1 \2/p')
  got=$(llvm-pdbutil dump -summary "$pdb" | tr -d '{}-' |
    awk '/^ *GUID:/ { g = tolower($2) } /^ *Age:/ { a = $2 } END { print g, a }')
  [[ -n $want ]] || die "$dist/$arch/Workbench.dll has no debug directory"
  [[ $want == "$got" ]] || die "$pdb does not match $dist/$arch/Workbench.dll ($want / $got)"
  cp -- "$pdb" "$out/symbols/$arch/"
done
# Files that go into a package or a zip carry the commit's time.
find "$stage" -type f -exec touch -d "@$SOURCE_DATE_EPOCH" {} +

# ---- Packages ---------------------------------------------------------------
# finish_package MSI ARCH: what wixl cannot write. The "older" Upgrade rows'
# maximum is inclusive (a rebuild of a version replaces it); the DLLs' File
# rows carry their version and language, so that Windows Installer compares
# versions when it decides to overwrite; the PackageCode is the release's.
finish_package() {
  local msi=$1 arch=$2 template work=$stage/tables-$2
  mkdir -p "$work"
  (cd "$work" && msiinfo export "$msi" Upgrade >Upgrade.idt)
  awk -F '\t' -v OFS='\t' '{ sub(/\r$/, "") }
    NR > 3 && $7 == "WB_OLDER_FOUND" && int($5 / 512) % 2 == 0 { $5 += 512 } { print $0 "\r" }' \
    "$work/Upgrade.idt" >"$work/Upgrade.new.idt"
  mv -- "$work/Upgrade.new.idt" "$work/Upgrade.idt"
  template=$([[ $arch == x64 ]] && echo "x64;1033" || echo "Intel;1033")
  at_source_date msibuild "$msi" -i "$work/Upgrade.idt" \
    -q "UPDATE File SET Version = '$major.$minor.$patch.0', Language = '1033'" \
    -s "Workbench automation component for the store suite" Workbench "$template" "{$(guid "PackageCode $arch")}"
}
# wixl: any warning fails the release, for it drops what it does not know.
x64_package=Workbench-$version-x64$suffix.msi
for arch in x64 x86; do
  msi=$out/Workbench-$version-$arch$suffix.msi
  (cd "$stage" && at_source_date wixl -a "$arch" -D Arch="$arch" -D Version="$version" \
    -D ProductCode="$(guid "ProductCode $arch")" -D X64Package="$x64_package" \
    -o "$msi" "$root/entry/Workbench.wxs") >"$stage/wixl-$arch.log" 2>&1 ||
    { cat "$stage/wixl-$arch.log" >&2; die "wixl failed for $arch"; }
  if [[ -s $stage/wixl-$arch.log ]]; then
    cat "$stage/wixl-$arch.log" >&2
    die "wixl warned for $arch"
  fi
  finish_package "$msi" "$arch" >"$stage/msibuild-$arch.log" 2>&1 ||
    { cat "$stage/msibuild-$arch.log" >&2; die "finishing the $arch package failed"; }
  sign "$msi"
done

# ---- Kits -------------------------------------------------------------------
# pack FOLDER ZIP: ZIP holding what FOLDER holds, the same bytes from every
# build of a commit (sorted, the commit's time, no owner ids).
pack() {
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} + -exec chmod u=rwX,go=rX {} +
  (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | TZ=UTC zip -q -X -D "$2" -@)
}
# kit NAME README FILE...: NAME.zip holding NAME/ with the README (its
# @VERSION@ filled in) and each FILE given as its path under $stage.
kit() {
  local name=$1 readme=$2 file
  shift 2
  rm -rf -- "$stage/kit"
  mkdir -p "$stage/kit/$name"
  sed "s/@VERSION@/$version/g" "$readme" | sed 's/$/\r/' >"$stage/kit/$name/README.txt"
  for file in "$@"; do
    mkdir -p "$stage/kit/$name/$(dirname "$file")"
    cp -- "$stage/$file" "$stage/kit/$name/$file"
  done
  pack "$stage/kit" "$out/$name.zip"
}
for arch in win32 win64; do
  cp -- "$dist/$arch/Workbench.tlb" "$dist/$arch/Workbench.manifest" "$dist/$arch/RefSuite.manifest" "$stage/$arch/"
done
mkdir -p "$stage/include"
cp -- "$dist/include/Workbench.h" "$stage/include/"
kit "Workbench-$version-sdk$suffix" tools/release/sdk_readme.txt include/Workbench.h \
  win32/Workbench.dll win32/Workbench.tlb win32/Workbench.manifest \
  win64/Workbench.dll win64/Workbench.tlb win64/Workbench.manifest
kit "Workbench-$version-testkit$suffix" tools/release/testkit_readme.txt \
  win32/RefSuite.dll win32/RefSuite.manifest win64/RefSuite.dll win64/RefSuite.manifest
# The trace's administrative template, as a PolicyDefinitions folder.
mkdir -p "$stage/admx"
cp -r trace/policy "$stage/admx/PolicyDefinitions"
pack "$stage/admx" "$out/Workbench-$version-admx.zip"

rm -rf -- "$stage"
cd "$out"
artefacts=("Workbench-$version-x64$suffix.msi" "Workbench-$version-x86$suffix.msi"
  "Workbench-$version-sdk$suffix.zip" "Workbench-$version-testkit$suffix.zip"
  "Workbench-$version-admx.zip" symbols/win32/Workbench.pdb symbols/win64/Workbench.pdb)
sums=SHA256SUMS$suffix
sha256sum -- "${artefacts[@]}" >"$sums"
# property MSI NAME: a value of the package's Property table.
property() { msiinfo export "$1" Property | tr -d '\r' | awk -v name="$2" '$1 == name { print $2 }'; }
for file in "${artefacts[@]}" "$sums"; do
  printf '%-40s %9d bytes' "$file" "$(stat -c %s -- "$file")"
  # What IT's deployment tools detect the product by.
  [[ $file == *.msi ]] && printf '  ProductCode %s  UpgradeCode %s' \
    "$(property "$file" ProductCode)" "$(property "$file" UpgradeCode)"
  printf '\n'
done
((unsigned)) && warnings+=("this release is UNSIGNED: for tests only, never for store PCs")
for warning in "${warnings[@]}"; do
  echo "package: warning: $warning"
done
