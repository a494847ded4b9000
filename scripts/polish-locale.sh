# Sourced by the scripts that start the terminal: the interface is Polish, and
# with a Polish locale so are the serial port's messages and its setup dialog.
# A Polish locale the user chose already stays as it is; one that is not
# installed changes nothing.
case "${LC_ALL:-${LC_MESSAGES:-${LANG:-}}}" in
  pl_PL*) ;;
  *)
    if locale -a 2>/dev/null | grep -qix 'pl_PL\.utf-\?8'; then
      export LANG=pl_PL.UTF-8
      unset LC_ALL LC_MESSAGES LANGUAGE
    fi
    ;;
esac
