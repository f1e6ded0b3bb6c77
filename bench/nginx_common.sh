# Sourced by the engine benches: nginx run as this user from a work folder.

# A loopback port nothing listens on now.
free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# nginx_conf_head WORK: the top of an nginx.conf whose pid, logs and
# temporary files stay in WORK; the caller adds its servers and the
# closing brace of the http block.
nginx_conf_head() {
  cat <<CONF
worker_processes 1;
daemon off;
pid $1/nginx.pid;
error_log $1/error.log;
events { worker_connections 512; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $1/temp;
  proxy_temp_path $1/temp;
  fastcgi_temp_path $1/temp;
  uwsgi_temp_path $1/temp;
  scgi_temp_path $1/temp;
CONF
}
