# bash completion for the thesaurus tools: thesaurus-compile, thesaurus-lookup, thesaurus-admin,
# thesaurus-import and thesaurus-map-migrate. Installed once per tool name, so that
# bash-completion finds it when the tool is first completed.

_thesaurus_tools() {
  local cur prev options
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD-1]}
  case ${COMP_WORDS[0]##*/} in
    thesaurus-compile) options="-f -ccsid -targetDirectory -q -v" ;;
    thesaurus-lookup)
      options="-f -ccsid -term -wildcard -maxTerms -maxDepth -strength -relType -relName -all
               -global -format -expand -v" ;;
    thesaurus-admin)
      options="-f -check -recreate -clear -export -targetFile -replace -strength -base -lang -v" ;;
    thesaurus-import)
      options="-f -format -targetFile -replace -lang -q -tempDirectory -memory" ;;
    thesaurus-map-migrate) options="-directory -index -maps -show" ;;
    *) return ;;
  esac
  options="$options -help --help --version"

  local option=${prev#-}
  option=${option#-}
  case $option in
    f)
      case ${COMP_WORDS[0]##*/} in
        thesaurus-compile) COMPREPLY=($(compgen -f -X '!*.def' -- "$cur") $(compgen -d -- "$cur")) ;;
        thesaurus-import)
          COMPREPLY=($(compgen -f -X '!*.@(ttl|nt|txt|syn)' -- "$cur") $(compgen -d -- "$cur")) ;;
        *) COMPREPLY=($(compgen -f -X '!*.wdf' -- "$cur" | sed 's/\.wdf$//') $(compgen -d -- "$cur")) ;;
      esac
      return ;;
    ccsid)
      COMPREPLY=($(compgen -W "1208 819 850 874 1250 1251 1252 1253 1254 1255 1256 1257 1258 932
                                942 943 5039 954 950 949 970 1363 1381 1383 1386" -- "$cur"))
      return ;;
    relType) COMPREPLY=($(compgen -W "UF RT NT BT PT UF,RT BT,NT" -- "$cur")); return ;;
    format)
      if [[ ${COMP_WORDS[0]##*/} == thesaurus-import ]]; then
        COMPREPLY=($(compgen -W "turtle ntriples synonyms" -- "$cur"))
      else
        COMPREPLY=($(compgen -W "text tsv dot json" -- "$cur"))
      fi
      return ;;
    export) COMPREPLY=($(compgen -W "synonyms skos" -- "$cur")); return ;;
    maps) COMPREPLY=($(compgen -W "tf an as tf,an,as" -- "$cur")); return ;;
    targetDirectory|tempDirectory|directory) COMPREPLY=($(compgen -d -- "$cur")); return ;;
    targetFile|show) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    term|wildcard|maxTerms|maxDepth|strength|relName|expand|base|lang|memory|index)
      return ;;
  esac
  if [[ $cur == -* || -z $cur ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
  fi
}

complete -F _thesaurus_tools thesaurus-compile thesaurus-lookup thesaurus-admin thesaurus-import \
  thesaurus-map-migrate
