#!/usr/bin/python3
"""Counts the bytes that cross TCP connections: listens on one address, forwards to another and
keeps "{client to server bytes} {server to client bytes}" (totals over every connection so far)
in a file, rewritten as the bytes pass."""

import argparse
import socket
import threading

totals = [0, 0]
lock = threading.Lock()


def publish(log_path):
    with open(log_path + ".tmp", "w") as log:
        log.write("%d %d\n" % (totals[0], totals[1]))
    import os
    os.replace(log_path + ".tmp", log_path)


def pump(source, target, index, log_path):
    try:
        while True:
            data = source.recv(1 << 20)
            if not data:
                break
            target.sendall(data)
            with lock:
                totals[index] += len(data)
                publish(log_path)
    except OSError:
        pass
    finally:
        for sock, how in ((target, socket.SHUT_WR), (source, socket.SHUT_RD)):
            try:
                sock.shutdown(how)
            except OSError:
                pass


def serve(client, target, log_path):
    upstream = socket.create_connection(target)
    threads = [threading.Thread(target=pump, args=(client, upstream, 0, log_path)),
               threading.Thread(target=pump, args=(upstream, client, 1, log_path))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    client.close()
    upstream.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--listen", required=True)
    parser.add_argument("--target", required=True)
    parser.add_argument("--log", required=True)
    args = parser.parse_args()
    listen_host, listen_port = args.listen.rsplit(":", 1)
    target_host, target_port = args.target.rsplit(":", 1)
    with lock:
        publish(args.log)
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((listen_host, int(listen_port)))
    server.listen(8)
    while True:
        client, _ = server.accept()
        threading.Thread(target=serve, args=(client, (target_host, int(target_port)), args.log), daemon=True).start()


if __name__ == "__main__":
    main()
