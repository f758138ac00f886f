<?php
// A page that only PHP can produce: the text below never appears in the file itself.
header('Content-Type: text/plain; charset=utf-8');
echo 'PHP ', PHP_VERSION, ' answers: ', 6 * 7, "\n";
echo 'mysqli: ', extension_loaded('mysqli') ? 'loaded' : 'missing', "\n";
