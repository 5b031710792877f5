// quorvane-convert's --help text.

#include <string>

#include "processing/ConvertOptions.h"

namespace quorvane {

std::string ConvertUsageText() {
  return R"(Usage: quorvane-convert [options] FILE|FOLDER...
Converts image files into one format, applying any number of operations in the order
given, e.g. --long-side 2048 --color 10,0,0 --gamma 1.2.

  -f, --format FMT        target format: jpg|png|tif|bmp|pnm|gif|tga|sgi|webp|avif|jxl
                          (default jpg)
  -o, --output DIR        output folder (default: the first file's folder + "/quorvane-conv");
                          missing parent folders are created
      --keep-name         keep each file's name and therefore its format (-f is then
                          ignored): a.png is written as a PNG named a.png
  -r, --recursive         a FOLDER gives every picture under it; the results mirror its
                          tree under the output folder (without -r a folder is an error)
      --hidden            with -r, take names starting with "." as well; links to
                          folders are never followed
      --name TEMPLATE     name the results by a pattern (the extension follows):
                          {name} the source's name without extension, {ext} its
                          extension, {parent} its folder's name, {n} a counter in file
                          order ({n:03}: 3 digits), {date} when it was taken (EXIF
                          DateTimeOriginal, else the file time; {date:%Y-%m-%d_%H%M%S}
                          in strftime's terms), {w} {h} the result's size; {{ }} braces
      --start N           the first value of {n} (default 1)
  -q, --quality N         quality 1..100 of JPEG, WebP, AVIF and JPEG XL (default 80), on
                          the JPEG scale: the same number looks about as good in each.
                          WebP takes it as libwebp's quality (cwebp -q N); AVIF as the
                          AV1 quantizer (100 - N) * 63 / 70, at most 63 (avifenc --min Q
                          --max Q; -q 80 is quantizer 18); JPEG XL as the distance
                          cjxl -q N gives (0.1 + (100 - N) * 0.09 from 30 up)
      --max-size SIZE     JPEG, WebP, AVIF and JPEG XL results within SIZE bytes (K = 1024,
                          M = 1024 K: 300K, 2M): each file gets the highest quality up to
                          -q that fits, found in at most 7 encodes; a file that does not
                          fit even at quality 1 is written at quality 1 with a memo line
      --lossless          WebP and JPEG XL exactly, without loss (-q is then unused);
                          AVIF is always lossy here
                          Encoder effort is fixed at the usual balance of speed and size:
                          WebP method 4 (cwebp -m 4), AVIF speed 6 with the AOM encoder,
                          colour 4:2:0 (avifenc --speed 6), JPEG XL effort 7 (cjxl -e 7)
      --no-lossless       decode and encode JPEG sources that are only turned or flipped
                          into JPEG (default: their blocks are turned without loss, as
                          jpegtran does, when the size is whole blocks; the EXIF keeps
                          Orientation 1 and drops its thumbnail)
      --dither NAME       nearest|floyd-steinberg|stucki|sierra|burkes (default floyd-steinberg)
      --on-exists overwrite|skip|rename|error
                          an existing output file is replaced (default), left alone (the
                          file is skipped, which is no failure), kept while the result
                          takes a free name ("photo (1).png", "photo (2).png", ...), or
                          the file fails; a batch's own sources are never replaced
      --no-overwrite      the same as --on-exists error
      --no-auto-orient    keep pictures as stored (default: upright by their EXIF orientation)
      --strip             write no metadata (default: JPEG, PNG, TIFF, WebP, AVIF and
                          JPEG XL results keep the source's EXIF and colour profile);
                          every result keeps the source's file time
  operations, any number, applied in the order given, each with its own limits:
      --resize P%         by percentage (1..400)
      --resize WxH        to a pixel size (1..4096 each), stretched
      --keep-aspect       with --resize WxH: keep the proportions on a border
      --border-color #RRGGBB   border colour for --keep-aspect (default white)
      --fit WxH           fit inside W x H (1..65535 each), proportions kept, no border
      --long-side N       the longer side becomes N (1..65535), proportions kept
      --shrink-only       with --fit and --long-side: a picture that fits already is
                          left as it is
      --turn-left | --turn-right | --flip-h | --flip-v
      --rotate DEG        -180..180, in hundredths of a degree at most; positive turns
                          clockwise, negative counter-clockwise
      --color C,L,S       contrast -255..1023, brightness -1023..255,
                          saturation -255..1024 (0 leaves colours unchanged)
      --gamma V           0.01..1.99 (1.00 leaves the picture unchanged)
  -j, --jobs N            convert N files at once in separate processes (default 1);
                          the WebP, AVIF and JPEG XL encoders share the cores among them
      --quiet             no per-file lines; failures are still reported
      --files-from FILE   more names to convert, one a line ("-": standard input)
  -0, --null              with --files-from: names end with NUL (find -print0)
      --report FILE       JSON Lines: one object per file, written as the file ends,
                          with source, result, status (ok, skipped or failed), reason,
                          bytes_in, bytes_out, width, height, quality and ms
      --dry-run           say what would be written, where and under which name; write
                          nothing
      --save-preset NAME  keep the settings and operations given as preset NAME
                          ($XDG_CONFIG_HOME/quorvane/presets/NAME.conf); without files
                          nothing else is done
      --preset NAME       start from preset NAME; options given here win, and
                          operations given here replace the preset's
      --list-presets      list the saved presets
  -h, --help              this text

Messages: the per-file lines and the memo lines (in Korean, as the conversion dialog
shows them) go to standard output; for each failed file, one line in English with its
path and the reason goes to standard error.
With --on-exists skip, running the same command again finishes a batch that was
killed: the files already written are skipped.
Exit status: 0 when every file was converted, 1 when any failed, 2 for a usage error
(an unknown or damaged preset among them).
)";
}

}  // namespace quorvane
