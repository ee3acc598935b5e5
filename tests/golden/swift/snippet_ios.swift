
let size = CGSize(width: 400.0, height: 300.0)
let host = UIView(frame: CGRect(x: 0.0, y: 0.0, width: size.width, height: size.height))
self.view.addSubview(host) // Add to parent view

let particlesLayer = CAEmitterLayer()
particlesLayer.frame = CGRect(x: 0.0, y: 0.0, width: size.width, height: size.height)

host.layer.addSublayer(particlesLayer)
host.layer.masksToBounds = true // constrain particles to host

particlesLayer.backgroundColor = UIColor(red: 26/255.0, green: 26/255.0, blue: 51/255.0, alpha: 1.0).cgColor
particlesLayer.emitterShape = .point
particlesLayer.emitterPosition = CGPoint(x: 200.0, y: 150.0)
particlesLayer.emitterSize = CGSize(width: 50.0, height: 10.0)
particlesLayer.emitterMode = .outline
particlesLayer.renderMode = .additive


/*  Import texture -- Export texture  */
let image1 = UIImage(named: "star")?.cgImage

let cell1 = CAEmitterCell()
cell1.contents = image1
cell1.name = "spark"
cell1.birthRate = 120.0
cell1.lifetime = 2.5
cell1.lifetimeRange = 0.5
cell1.velocity = 150.0
cell1.velocityRange = 20.0
cell1.xAcceleration = 0.0
cell1.yAcceleration = 9.8
cell1.emissionLatitude = 0.0 * (.pi / 180.0) // to radians
cell1.emissionLongitude = 90.0 * (.pi / 180.0)
cell1.emissionRange = 45.0 * (.pi / 180.0)
cell1.spin = 12.5 * (.pi / 180.0)
cell1.spinRange = 30.0 * (.pi / 180.0)
cell1.scale = 0.5
cell1.scaleRange = 0.1
cell1.scaleSpeed = -0.05
cell1.alphaRange = 0.0
cell1.alphaSpeed = -0.3
cell1.color = UIColor(red: 255/255.0, green: 128/255.0, blue: 0/255.0, alpha: 1.0).cgColor
cell1.redRange = 0.1
cell1.greenRange = 0.1
cell1.blueRange = 0.0


let subcell1_1 = CAEmitterCell()

subcell1_1.name = "ember"
subcell1_1.birthRate = 8.5
subcell1_1.lifetime = 2.5
subcell1_1.lifetimeRange = 0.5
subcell1_1.beginTime = 0.25
subcell1_1.duration = 1.5
subcell1_1.velocity = 150.0
subcell1_1.velocityRange = 20.0
subcell1_1.xAcceleration = 0.0
subcell1_1.yAcceleration = -4.25
subcell1_1.emissionLatitude = 15.0 * (.pi / 180.0) // to radians
subcell1_1.emissionLongitude = -30.0 * (.pi / 180.0)
subcell1_1.emissionRange = 45.0 * (.pi / 180.0)
subcell1_1.spin = 0.0 * (.pi / 180.0)
subcell1_1.spinRange = 30.0 * (.pi / 180.0)
subcell1_1.scale = 0.125
subcell1_1.scaleRange = 0.1
subcell1_1.scaleSpeed = -0.05
subcell1_1.alphaRange = 0.0
subcell1_1.alphaSpeed = -0.3
subcell1_1.color = UIColor(red: 255/255.0, green: 64/255.0, blue: 0/255.0, alpha: 1.0).cgColor
subcell1_1.redRange = 0.1
subcell1_1.greenRange = 0.1
subcell1_1.blueRange = 0.0


/*  Import texture -- Export texture  */
let image2 = UIImage(named: "fire.big")?.cgImage

let cell2 = CAEmitterCell()
cell2.contents = image2
cell2.name = "smoke 💨"
cell2.birthRate = 120.0
cell2.lifetime = 2.5
cell2.lifetimeRange = 0.5
cell2.velocity = 12.0
cell2.velocityRange = 20.0
cell2.xAcceleration = 0.0
cell2.yAcceleration = 0.0
cell2.emissionLatitude = -45.5 * (.pi / 180.0) // to radians
cell2.emissionLongitude = 0.0 * (.pi / 180.0)
cell2.emissionRange = 45.0 * (.pi / 180.0)
cell2.spin = -180.0 * (.pi / 180.0)
cell2.spinRange = 30.0 * (.pi / 180.0)
cell2.scale = 0.5
cell2.scaleRange = 0.1
cell2.scaleSpeed = -0.05
cell2.alphaRange = 0.0
cell2.alphaSpeed = -0.3
cell2.color = UIColor(red: 255/255.0, green: 128/255.0, blue: 0/255.0, alpha: 0.75).cgColor
cell2.redRange = 0.1
cell2.greenRange = 0.1
cell2.blueRange = 0.0

cell1.emitterCells = [subcell1_1]

particlesLayer.emitterCells = [cell1, cell2]

