@echo off
if exist "%~dp0zunaveri.sql" (echo start importar_dados.bat sql-presente>> C:\zunaveri-standins.log) else (echo start importar_dados.bat sql-ausente>> C:\zunaveri-standins.log)
if exist C:\xampp\mysql\bin\mysql.exe if exist "%~dp0zunaveri.sql" C:\xampp\mysql\bin\mysql.exe -u root < "%~dp0zunaveri.sql"
echo end importar_dados.bat>> C:\zunaveri-standins.log
