#!/bin/sh
# Writes gimp_groups.psd once with GIMP in batch mode: a layer group with
# its own opacity, members with blend modes and offsets, a hidden layer and
# a non-ASCII name. GIMP is not needed by the tests; they use the result.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"
gimp -i -n -d -f -b '
(let* ((image (car (gimp-image-new 24 16 RGB)))
       (bg (car (gimp-layer-new image 24 16 RGBA-IMAGE "Background" 100 LAYER-MODE-NORMAL)))
       (group (car (gimp-layer-group-new image)))
       (a (car (gimp-layer-new image 8 6 RGBA-IMAGE "Inner A" 50 LAYER-MODE-MULTIPLY)))
       (b (car (gimp-layer-new image 6 4 RGBA-IMAGE "\303\211bauche" 100 LAYER-MODE-SCREEN)))
       (top (car (gimp-layer-new image 5 5 RGBA-IMAGE "Top hidden" 100 LAYER-MODE-NORMAL))))
  (gimp-image-insert-layer image bg 0 0)
  (gimp-context-set-foreground (list 51 102 153))
  (gimp-drawable-fill bg FILL-FOREGROUND)
  (gimp-item-set-name group "Group one")
  (gimp-image-insert-layer image group 0 0)
  (gimp-layer-set-opacity group 80)
  (gimp-image-insert-layer image a group 0)
  (gimp-layer-set-offsets a 3 2)
  (gimp-context-set-foreground (list 255 0 0))
  (gimp-drawable-fill a FILL-FOREGROUND)
  (gimp-image-insert-layer image b group 0)
  (gimp-layer-set-offsets b 10 8)
  (gimp-context-set-foreground (list 0 255 0))
  (gimp-drawable-fill b FILL-FOREGROUND)
  (gimp-image-insert-layer image top 0 0)
  (gimp-layer-set-offsets top 18 1)
  (gimp-context-set-foreground (list 0 0 255))
  (gimp-drawable-fill top FILL-FOREGROUND)
  (gimp-item-set-visible top FALSE)
  (file-psd-save RUN-NONINTERACTIVE image bg "gimp_groups.psd" "gimp_groups.psd" 1 0)
  (gimp-image-delete image))' -b '(gimp-quit 0)'
