@echo off
if exist C:\windows\temp\zunaveri.sql (echo start importar_dados.bat sql-presente>> C:\zunaveri-standins.log) else (echo start importar_dados.bat sql-ausente>> C:\zunaveri-standins.log)
echo end importar_dados.bat>> C:\zunaveri-standins.log
