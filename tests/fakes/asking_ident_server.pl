use strict; use warnings;
my $identPort;
BEGIN {
    $identPort = shift @ARGV;
    *CORE::GLOBAL::getservbyname = sub { wantarray ? ('auth', '', $identPort, 'tcp') : $identPort };
}
use IO::Socket::INET;
use Net::Ident 'lookup';
my $listener = IO::Socket::INET->new(Listen => 1, LocalAddr => '127.0.0.1', LocalPort => 0,
                                     Proto => 'tcp') or die "listen: $!";
my $client = IO::Socket::INET->new(PeerAddr => '127.0.0.1', PeerPort => $listener->sockport,
                                   Proto => 'tcp') or die "connect: $!";
my $server = $listener->accept or die "accept: $!";
my ($user, $opsys, $error) = lookup($server, 20);
print defined $user ? "$user|$opsys\n" : "ERROR=$error\n";
