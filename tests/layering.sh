#!/usr/bin/env bash
# Layers include only what lies below them: the toolkit-free layers never
# include Qt, and each layer only the layers under it.
set -u
src=${1:?source folder}
order=(core model analysis surface measure render output batch dialogs app)
status=0
for ((i = 0; i < ${#order[@]}; i++)); do
  layer=${order[$i]}
  [ -d "$src/$layer" ] || continue
  # Everything from this layer up is off limits below it.
  for ((j = i + 1; j < ${#order[@]}; j++)); do
    above=${order[$j]}
    # analysis, surface and measure sit side by side on the model.
    case "$layer:$above" in analysis:surface|analysis:measure|surface:measure) continue ;; esac
    hits=$(grep -rnE "#include [<\"]$above/" "$src/$layer" 2>/dev/null)
    [ -n "$hits" ] && { echo "layer $layer includes $above:"; echo "$hits"; status=1; }
  done
  case $layer in app|dialogs) ;; *)
    hits=$(grep -rnE '#include <Q[A-Za-z]*(/|>)' "$src/$layer" 2>/dev/null)
    [ -n "$hits" ] && { echo "layer $layer includes Qt:"; echo "$hits"; status=1; } ;;
  esac
done
[ $status -eq 0 ] && echo "layering: ok"
exit $status
