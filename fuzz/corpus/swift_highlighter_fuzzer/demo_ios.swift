
let size = CGSize(width: 400.0, height: 300.0)
let host = UIView(frame: CGRect(x: 0.0, y: 0.0, width: size.width, height: size.height))
self.view.addSubview(host) // Add to parent view

let particlesLayer = CAEmitterLayer()
particlesLayer.frame = CGRect(x: 0.0, y: 0.0, width: size.width, height: size.height)

host.layer.addSublayer(particlesLayer)
host.layer.masksToBounds = true // constrain particles to host

particlesLayer.backgroundColor = UIColor(red: 15/255.0, green: 10/255.0, blue: 8/255.0, alpha: 1.0).cgColor
particlesLayer.emitterShape = .line
particlesLayer.emitterPosition = CGPoint(x: 200.0, y: 260.0)
particlesLayer.emitterSize = CGSize(width: 120.0, height: 1.0)
particlesLayer.emitterMode = .outline
particlesLayer.renderMode = .additive


/*  Import texture -- Export texture  */
let image1 = UIImage(named: "flame")?.cgImage

let cell1 = CAEmitterCell()
cell1.contents = image1
cell1.name = "flame"
cell1.birthRate = 120.0
cell1.lifetime = 1.6
cell1.lifetimeRange = 0.4
cell1.velocity = 60.0
cell1.velocityRange = 20.0
cell1.xAcceleration = 0.0
cell1.yAcceleration = -40.0
cell1.emissionLatitude = 0.0 * (.pi / 180.0) // to radians
cell1.emissionLongitude = -90.0 * (.pi / 180.0)
cell1.emissionRange = 20.0 * (.pi / 180.0)
cell1.spin = 0.0 * (.pi / 180.0)
cell1.spinRange = 90.0 * (.pi / 180.0)
cell1.scale = 0.35
cell1.scaleRange = 0.1
cell1.scaleSpeed = -0.2
cell1.alphaRange = 0.0
cell1.alphaSpeed = -0.6
cell1.color = UIColor(red: 255/255.0, green: 140/255.0, blue: 38/255.0, alpha: 0.9).cgColor
cell1.redRange = 0.0
cell1.greenRange = 0.1
cell1.blueRange = 0.05


/*  Import texture -- Export texture  */
let image1_1 = UIImage(named: "spark")?.cgImage

let subcell1_1 = CAEmitterCell()
subcell1_1.contents = image1_1
subcell1_1.name = "spark"
