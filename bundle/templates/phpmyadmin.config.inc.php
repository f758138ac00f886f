<?php
// phpMyAdmin of the LarkspanAdmin demo bundle: the bundle's own MariaDB, through its socket.
declare(strict_types=1);

$cfg['blowfish_secret'] = '@BLOWFISH_SECRET@';

$i = 1;
$cfg['Servers'][$i]['auth_type'] = 'config';
$cfg['Servers'][$i]['host'] = 'localhost';
$cfg['Servers'][$i]['socket'] = '@BUNDLE@/MySQL/mysql.sock';
$cfg['Servers'][$i]['user'] = 'root';
$cfg['Servers'][$i]['password'] = 'qlwv';
$cfg['Servers'][$i]['AllowNoPassword'] = false;

$cfg['TempDir'] = '@BUNDLE@/tmp/phpmyadmin';
$cfg['UploadDir'] = '';
$cfg['SaveDir'] = '';
